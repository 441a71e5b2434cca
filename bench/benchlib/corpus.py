"""The corpus: where it is, building it when missing, and the sets drawn from it."""
import os
import shutil
import subprocess
import sys
from dataclasses import dataclass, field
from pathlib import Path

from . import images

MIXED_JPEG_COUNT = 10


def default_corpus():
    if os.environ.get("BENCH_CORPUS"):
        return Path(os.environ["BENCH_CORPUS"])
    return Path(os.environ.get("TMPDIR", "/tmp")) / "shrink-bench-corpus"


def find_make_corpus(repo):
    """The shared make-corpus.sh: $KOVI_MAKE_CORPUS, else shared/bench beside the repository."""
    candidates = [os.environ.get("KOVI_MAKE_CORPUS"), repo.parent / "shared/bench/make-corpus.sh"]
    for candidate in candidates:
        if candidate and Path(candidate).is_file():
            return Path(candidate)
    return None


def ensure_corpus(corpus, repo):
    if (corpus / "jpeg").is_dir() and any((corpus / "jpeg").iterdir()):
        return
    script = find_make_corpus(repo)
    if script is None:
        sys.exit(
            f"no corpus in {corpus} and make-corpus.sh not found; "
            "set KOVI_MAKE_CORPUS or pass --corpus with a built corpus"
        )
    print(f"building the corpus in {corpus} with {script} (this takes a while)", flush=True)
    subprocess.run(["bash", str(script), str(corpus)], check=True)


def spread(items, count):
    """count items taken evenly across the sorted list, so a subset keeps its variety."""
    items = sorted(items)
    if count is None or count >= len(items):
        return items
    if count <= 0:
        return []
    step = len(items) / count
    return [items[int(index * step)] for index in range(count)]


@dataclass
class ImageSet:
    """A set of source files and the box they are shrunk to."""

    name: str
    target: tuple
    sources: list  # paths in the corpus
    infos: dict = field(default_factory=dict)  # source path -> ImageInfo

    @property
    def target_text(self):
        return f"{self.target[0]}x{self.target[1]}"

    @property
    def megapixels(self):
        return sum(info.megapixels for info in self.infos.values())

    @property
    def megabytes(self):
        return sum(os.path.getsize(path) for path in self.sources) / 1e6

    def info_by_name(self):
        return {Path(path).name: info for path, info in self.infos.items()}


def files_in(folder):
    return [str(path) for path in sorted(Path(folder).iterdir()) if path.is_file()]


def build_sets(corpus, names, limit):
    jpegs = spread(files_in(corpus / "jpeg"), limit)
    others = spread(files_in(corpus / "other"), limit) if (corpus / "other").is_dir() else []
    mixed = others + spread(jpegs, min(MIXED_JPEG_COUNT, len(jpegs)))
    catalogue = {
        "jpeg640": ((640, 480), jpegs),
        "jpeg1024": ((1024, 768), jpegs),
        "mixed640": ((640, 480), mixed),
        "listing": ((640, 480), jpegs + others),
    }
    wanted = [ImageSet(name, *catalogue[name]) for name in names]
    infos = images.read_headers(sorted({path for one in wanted for path in one.sources}))
    for one in wanted:
        one.infos = {path: infos[path] for path in one.sources if path in infos}
        unreadable = [path for path in one.sources if path not in infos]
        if unreadable:
            print(f"warning: {len(unreadable)} unreadable source files in {one.name}: "
                  f"{', '.join(Path(path).name for path in unreadable[:5])}", file=sys.stderr)
    return wanted


def fresh_copy(image_set, folder):
    """Copy the set into an empty folder (in-place shrinking destroys the copy)."""
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for path in image_set.sources:
        shutil.copyfile(path, folder / Path(path).name)
    os.sync()  # write the copy out now, not while a tool is being timed
    return sorted(str(folder / Path(path).name) for path in image_set.sources)


def listing_folders(image_set, work, copies):
    """A folder with the JPEGs and one with the whole set repeated `copies` times.

    The repeats are hard links to one private copy (never to the corpus), so a
    listing that wrote to its files could only spoil the private copy.
    """
    base = work / "listing-base"
    jpeg_folder = work / "listing-jpeg"
    many_folder = work / "listing-many"
    for folder in (base, jpeg_folder, many_folder):
        if folder.exists():
            shutil.rmtree(folder)
        folder.mkdir(parents=True)
    for path in image_set.sources:
        name = Path(path).name
        shutil.copyfile(path, base / name)
        if image_set.infos.get(path) and image_set.infos[path].loader == "jpegload":
            os.link(base / name, jpeg_folder / name)
        for copy in range(copies):
            os.link(base / name, many_folder / f"c{copy:02d}-{name}")
    os.sync()
    return jpeg_folder, many_folder


def snapshot(folder):
    """Names, sizes and modification times: enough to see whether anything was written."""
    return {
        entry.name: (entry.stat().st_size, entry.stat().st_mtime_ns)
        for entry in os.scandir(folder)
    }
