"""The corpus: where it is, building it when missing, and the sets drawn from it."""
import functools
import hashlib
import math
import os
import random
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

from . import images

MIXED_JPEG_COUNT = 10
SMALL_SETS = ("small80", "smallmixed80")


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


def ensure_corpus(corpus, repo, sets=()):
    """jpeg/ and other/ from the shared make-corpus.sh, then small/ if a set needs it."""
    if not ((corpus / "jpeg").is_dir() and any((corpus / "jpeg").iterdir())):
        script = find_make_corpus(repo)
        if script is None:
            sys.exit(
                f"no corpus in {corpus} and make-corpus.sh not found; "
                "set KOVI_MAKE_CORPUS or pass --corpus with a built corpus"
            )
        print(f"building the corpus in {corpus} with {script} (this takes a while)", flush=True)
        subprocess.run(["bash", str(script), str(corpus)], check=True)
    if any(name in SMALL_SETS for name in sets):
        ensure_small(corpus)


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
    small = files_in(corpus / "small") if any(name in SMALL_SETS for name in names) else []
    small_jpegs = spread([path for path in small if path.endswith(".jpg")], limit)
    small_others = spread([path for path in small if not path.endswith(".jpg")], limit)
    catalogue = {
        "jpeg640": ((640, 480), jpegs),
        "jpeg1024": ((1024, 768), jpegs),
        "mixed640": ((640, 480), mixed),
        "small80": ((80, 60), small_jpegs),
        "smallmixed80": ((80, 80), small_jpegs + small_others),
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


# The small-file set: small/ beside jpeg/ and other/, cut from the corpus's own
# photographs with the vips command, as make-corpus.sh makes the rest. Every
# choice comes from SMALL_SEED, so the same corpus and libvips give the same files
# (compare SMALL-MANIFEST.tsv).
SMALL_SEED = 20261207
SMALL_JPEG_COUNT = 2000
SMALL_JPEG_SIZE = (120, 90)
SMALL_ICON_SIZE = (100, 100)
SMALL_FRAMES = 3
# suffix: (count, [(variant, share), ...])
SMALL_OTHERS = {
    "png": (300, [("rgb", 3), ("rgba-round", 2), ("rgba-soft", 2), ("rgba-opaque", 1),
                  ("palette", 2), ("palette-round", 1), ("grey", 1)]),
    "gif": (100, [("dither", 4), ("flat", 3), ("16colours", 1), ("animated", 2)]),
    "webp": (100, [("lossy", 6), ("lossless-alpha", 2), ("animated", 2)]),
}
SMALL_JPEG_QUALITIES = (75, 80, 85, 90, 92, 95)
GIF_OPTIONS = {"flat": "dither=0", "16colours": "bitdepth=4"}  # the others are dithered
# Variants finished in a second step, from the window cut to a .v file.
ALPHA_MASKS = {"rgba-round": ("round",), "rgba-soft": ("soft",), "palette-round": ("round",),
               "lossless-alpha": ("round", "soft")}
FINISHED = set(ALPHA_MASKS) | {"rgba-opaque", "grey", "animated"}
# Boxes the photograph is first fitted into, and how often each is drawn: a window
# of 240 shows half the scene, one of 1920 a detail.
SMALL_SCALES = ((240, 3), (480, 3), (960, 2), (1920, 1))
ACTIVITY_BLOCK = 10  # pixels of the 1920 picture per cell of the Sobel map
# Mean Sobel magnitude of a window, measured at 1920, below which it is sky or a
# wall: a thumbnail of that is flat colour, not a picture.
ACTIVITY_FLOOR = 12
ACTIVITY_DRAWS = 40
FRAME_DELAY_MS = 400


@dataclass
class SmallItem:
    """One file of small/: what it is cut from and how it is saved."""

    name: str
    photo: str  # path in jpeg/
    variant: str  # "whole" or "crop" for the JPEGs; see SMALL_OTHERS for the rest
    size: tuple  # of one frame
    frames: int = 1
    save: str = ""  # save options, vips style: "Q=85,strip=true"

    @property
    def window(self):
        """The area cut from the photograph: the frames of an animation lie one below the other."""
        return self.size[0], self.size[1] * self.frames


def _deal(variants, count, rng):
    """count variants in proportion to their shares, shuffled, so that a spread
    subset of the sorted names does not keep meeting the same one."""
    cycle = [variant for variant, share in variants for _ in range(share)]
    dealt = (cycle * (count // len(cycle) + 1))[:count]
    rng.shuffle(dealt)
    return dealt


def plan_small(photos, seed=SMALL_SEED, jpeg_count=SMALL_JPEG_COUNT, others=None):
    """Every file of small/, its photograph (taken in turn) and its save options."""
    others = SMALL_OTHERS if others is None else others
    rng = random.Random(seed)
    items = []
    for index in range(jpeg_count):
        options = [f"Q={rng.choice(SMALL_JPEG_QUALITIES)}"]
        if rng.random() < 0.5:
            options.append("optimize-coding=true")
        if rng.random() < 1 / 6:
            options.append("interlace=true")
        # Each photograph's first thumbnail shows it whole, the way a gallery would.
        items.append(SmallItem(f"thumb-{index:04d}.jpg", photos[index % len(photos)],
                               "whole" if index < len(photos) else "crop", SMALL_JPEG_SIZE,
                               save=",".join(options + ["strip=true"])))
    serial = jpeg_count
    for suffix, (count, variants) in others.items():
        for index, variant in enumerate(_deal(variants, count, rng)):
            photo = photos[serial % len(photos)]
            serial += 1
            size, frames, options = SMALL_JPEG_SIZE, 1, []
            if suffix == "png":
                size = SMALL_ICON_SIZE
                options.append(f"compression={rng.choice((6, 6, 9))}")
                if variant.startswith("palette"):
                    options.append("palette=true")
            elif suffix == "gif":
                options.append(GIF_OPTIONS.get(variant, "dither=1"))
            elif variant == "lossless-alpha":
                size = SMALL_ICON_SIZE
                options.append("lossless=true")
            else:
                options.append(f"Q={rng.choice((75, 80, 90))}")
            if variant == "animated":
                frames = SMALL_FRAMES
            stem = {"png": "icon", "gif": "pic", "webp": "pic"}[suffix]
            items.append(SmallItem(f"{stem}-{index:04d}-{variant}.{suffix}", photo, variant,
                                   size, frames, ",".join(options + ["strip=true"])))
    return items


def _vips(*argv, stdin=None):
    # VIPSHOME where there are no modules: small/ needs none of the loaders libvips
    # keeps in modules (ImageMagick, PDF, HEIF, JPEG XL, slides), and loading them
    # is half of each command's time, which is most of the time small/ takes.
    environment = dict(os.environ, VIPS_WARNING="0", VIPSHOME="/nonexistent")
    done = subprocess.run([str(arg) for arg in argv], stdin=stdin, capture_output=True, text=True,
                          env=environment)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, argv))}: {done.stderr.strip() or done.returncode}")


def _activity_map(big, work):
    """Mean Sobel magnitude of the grey picture per ACTIVITY_BLOCK square, summed
    from the top left (a summed-area table), so any window's mean costs four lookups."""
    _vips("vips", "colourspace", big, work / "grey.v", "b-w")
    _vips("vips", "sobel", work / "grey.v", work / "edges.v")
    _vips("vips", "shrink", work / "edges.v", work / "activity.csv", ACTIVITY_BLOCK, ACTIVITY_BLOCK)
    rows = [[float(value) for value in line.split()]
            for line in (work / "activity.csv").read_text().splitlines() if line.strip()]
    table = [[0.0] * (len(rows[0]) + 1) for _ in range(len(rows) + 1)]
    for y, row in enumerate(rows):
        for x, value in enumerate(row):
            table[y + 1][x + 1] = value + table[y][x + 1] + table[y + 1][x] - table[y][x]
    return table


def _window_activity(table, scale, left, top, width, height):
    """Mean of the map under a window of a picture `scale` times smaller than the map's."""
    rows, columns = len(table) - 1, len(table[0]) - 1
    x0 = min(int(left * scale / ACTIVITY_BLOCK), columns - 1)
    y0 = min(int(top * scale / ACTIVITY_BLOCK), rows - 1)
    x1 = max(x0 + 1, min(math.ceil((left + width) * scale / ACTIVITY_BLOCK), columns))
    y1 = max(y0 + 1, min(math.ceil((top + height) * scale / ACTIVITY_BLOCK), rows))
    total = table[y1][x1] - table[y0][x1] - table[y1][x0] + table[y0][x0]
    return total / ((x1 - x0) * (y1 - y0))


def _choose_window(table, scale, picture, window, rng):
    """A window with something in it: the first drawn above ACTIVITY_FLOOR, else the busiest."""
    best = None
    for _ in range(ACTIVITY_DRAWS):
        left = rng.randrange(picture[0] - window[0] + 1)
        top = rng.randrange(picture[1] - window[1] + 1)
        activity = _window_activity(table, scale, left, top, *window)
        if best is None or activity > best[0]:
            best = (activity, left, top)
        if activity >= ACTIVITY_FLOOR:
            break
    return best[1], best[2]


def _sizes(paths):
    infos = images.read_headers([str(path) for path in paths])
    return {path: (infos[str(path)].width, infos[str(path)].height) for path in paths}


@functools.lru_cache(maxsize=None)
def _vips_version():
    done = subprocess.run(["vips", "--version"], capture_output=True, text=True)
    return done.stdout.strip().removeprefix("vips-")


def _animation_header(item):
    """A .v file's metadata block that makes the saver write item.frames frames."""
    delays = " ".join([str(FRAME_DELAY_MS)] * item.frames)
    # The namespace names the libvips that wrote the block, as vips itself does.
    return ('<?xml version="1.0"?>\n'
            f'<root xmlns="http://www.vips.ecs.soton.ac.uk/vips/{_vips_version()}">\n'
            "  <header>\n  </header>\n  <meta>\n"
            f'    <field type="gint" name="page-height">{item.size[1]}</field>\n'
            f'    <field type="gint" name="n-pages">{item.frames}</field>\n'
            '    <field type="gint" name="loop">0</field>\n'
            f'    <field type="VipsArrayInt" name="delay">{delays}</field>\n'
            "  </meta>\n</root>\n")


def _cut(item, picture, left, top, target, work, masks, rng):
    """Save one window of the picture as the item; returns what else was done to it."""
    if item.variant not in FINISHED:
        _vips("vips", "extract_area", picture, target, left, top, *item.window)
        return ""
    cut = work / "cut.v"
    _vips("vips", "extract_area", picture, cut, left, top, *item.window)
    if item.variant == "rgba-opaque":
        _vips("vips", "bandjoin_const", cut, target, 255)
        return ", alpha opaque"
    if item.variant == "grey":
        _vips("vips", "colourspace", cut, target, "b-w")
        return ", grey"
    if item.variant == "animated":
        # The frames' height and delays reach the saver only as metadata, which the
        # vips command sets nowhere but in a .v file's header.
        header = work / "animation.xml"
        header.write_text(_animation_header(item))
        # vipsedit takes the block's length from its input's size: a file, never a pipe.
        with open(header) as metadata:
            _vips("vipsedit", "--setext", cut, stdin=metadata)
        _vips("vips", "copy", cut, target)
        return f", {item.frames} frames"
    mask = rng.choice(ALPHA_MASKS[item.variant])
    _vips("vips", "bandjoin", f"{cut} {masks / (mask + '.v')}", target)
    return f", alpha {mask}"


def _make_photo_items(photo, items, out, work, masks, seed):
    """All the items cut from one photograph; returns {name: how it was made}."""
    work.mkdir(parents=True)
    big = work / "big.v"
    # Turned upright (the default), as a gallery shows it; never enlarged.
    _vips("vips", "thumbnail", photo, big, SMALL_SCALES[-1][0], "--size", "down")
    big_size = _sizes([big])[big]
    table = _activity_map(big, work)

    def fits(box, window):
        # Two pixels to spare: the fitted picture's rounding is libvips', not ours.
        factor = min(1.0, box / max(big_size))
        return all(round(side * factor) >= need + 2 for side, need in zip(big_size, window))

    chosen = {}  # name -> (box or None for the whole photograph, the item's own random numbers)
    for item in items:
        rng = random.Random(f"{seed}:{item.name}")
        fitting = [(box, weight) for box, weight in SMALL_SCALES if fits(box, item.window)]
        if item.variant == "whole":
            chosen[item.name] = (None, rng)
        elif fitting:
            boxes, weights = zip(*fitting)
            chosen[item.name] = (rng.choices(boxes, weights)[0], rng)
        elif all(side >= need for side, need in zip(big_size, item.window)):
            chosen[item.name] = (SMALL_SCALES[-1][0], rng)
        else:
            raise RuntimeError(f"{photo} is {big_size[0]}x{big_size[1]}, smaller than the "
                               f"{item.window[0]}x{item.window[1]} that {item.name} needs")
    pictures = {}
    for box in sorted({box for box, _ in chosen.values() if box is not None}):
        pictures[box] = big
        if box < max(big_size):
            pictures[box] = work / f"fit-{box}.v"
            _vips("vips", "thumbnail", big, pictures[box], box)
    sizes = _sizes(set(pictures.values()))
    sizes = {box: sizes[path] for box, path in pictures.items()}

    made = {}
    for item in items:
        box, rng = chosen[item.name]
        target = f"{out / item.name}[{item.save}]"
        if box is None:
            _vips("vips", "thumbnail", big, target, item.size[0], "--height", item.size[1],
                  "--crop", "centre")
            made[item.name] = "whole"
            continue
        left, top = _choose_window(table, big_size[0] / sizes[box][0], sizes[box], item.window,
                                   rng)
        made[item.name] = (f"fit {box}, {item.window[0]}x{item.window[1]} at {left},{top}"
                           + _cut(item, pictures[box], left, top, target, work, masks, rng))
    shutil.rmtree(work)
    return made


def _make_masks(masks):
    """The icons' alpha channels, made once."""
    masks.mkdir(parents=True)
    width, height = SMALL_ICON_SIZE
    _vips("vips", "mask_ideal", masks / "round.v", width, height, 0.95, "--optical", "--uchar",
          "--reject", "--nodc")
    _vips("vips", "mask_gaussian", masks / "soft.v", width, height, 0.6, 0.3, "--optical",
          "--uchar", "--reject")


def build_small(photos, out, seed=SMALL_SEED, jpeg_count=SMALL_JPEG_COUNT, others=None,
                workers=None, manifest=None):
    """Make small/ from the photographs; a run that stops leaves no small/ behind."""
    partial = out.with_name(out.name + ".partial")
    work = out.with_name("." + out.name + "-work")
    for folder in (partial, work):
        if folder.exists():
            shutil.rmtree(folder)
    partial.mkdir(parents=True)
    _make_masks(work / "masks")
    items = plan_small(photos, seed, jpeg_count, others)
    by_photo = {}
    for item in items:
        by_photo.setdefault(item.photo, []).append(item)
    made = {}
    with ThreadPoolExecutor(max_workers=workers or os.cpu_count() or 2) as pool:
        jobs = [pool.submit(_make_photo_items, photo, group, partial, work / f"photo-{index:03d}",
                            work / "masks", seed)
                for index, (photo, group) in enumerate(by_photo.items())]
        for job in jobs:
            made.update(job.result())
    if manifest is not None:
        lines = ["name\tsource\tsize\tframes\tsave\tmade\tbytes\tsha256"]
        for item in items:
            data = (partial / item.name).read_bytes()
            lines.append("\t".join([item.name, Path(item.photo).name,
                                    f"{item.size[0]}x{item.size[1]}", str(item.frames), item.save,
                                    made[item.name], str(len(data)),
                                    hashlib.sha256(data).hexdigest()]))
        manifest.write_text("\n".join(lines) + "\n")
    if out.exists():
        shutil.rmtree(out)
    partial.rename(out)
    shutil.rmtree(work)
    return items


def ensure_small(corpus, workers=None):
    """small/ is made from jpeg/ the first time a small set is asked for."""
    small = corpus / "small"
    if small.is_dir() and any(small.iterdir()):
        return
    photos = files_in(corpus / "jpeg")
    if not photos:
        sys.exit(f"no photographs in {corpus / 'jpeg'} to make small/ from")
    if not (shutil.which("vips") and shutil.which("vipsedit")):
        sys.exit("vips and vipsedit (libvips-tools) are needed to make small/")
    print(f"making {small} from the {len(photos)} photographs of jpeg/", flush=True)
    start = time.monotonic()
    items = build_small(photos, small, workers=workers, manifest=corpus / "SMALL-MANIFEST.tsv")
    print(f"made {len(items)} files in {time.monotonic() - start:.0f} s "
          f"(see {corpus / 'SMALL-MANIFEST.tsv'})", flush=True)
