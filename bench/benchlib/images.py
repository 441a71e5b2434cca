"""Image facts the benchmark needs: stored size, loader, pages, and the fit rule."""
import functools
import re
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

# "name: 6000x4000 uchar, 3 bands, srgb, jpegload"
HEADER_LINE = re.compile(
    r"^(?P<path>.*): (?P<width>\d+)x(?P<height>\d+) \S+, (?P<bands>\d+) bands?, \S+, (?P<loader>\S+)$")
MULTI_PAGE_LOADERS = {"gifload", "webpload", "tiffload", "heifload", "magickload"}


@dataclass(frozen=True)
class ImageInfo:
    width: int  # stored width, before any orientation tag is applied
    height: int  # height of one page
    loader: str  # libvips loader, e.g. "jpegload": the file's format
    pages: int
    bands: int = 3

    @property
    def has_alpha(self):
        return self.bands in (2, 4)

    @property
    def megapixels(self):
        return self.width * self.height * self.pages / 1e6


def fitted_size(width, height, target_width, target_height):
    """The size an image larger than the box is shrunk to, or None when it fits.

    The side whose ratio to the target is larger takes the target's value; the
    other is computed in double precision and rounded half to even (Python's
    round), and never below 1.
    """
    if width <= target_width and height <= target_height:
        return None
    ratio_width = width / target_width
    ratio_height = height / target_height
    if ratio_width < ratio_height:
        new_width, new_height = round((target_height / height) * width), target_height
    else:
        new_width, new_height = target_width, round(height * (target_width / width))
    return max(new_width, 1), max(new_height, 1)


def expected_size(info, target):
    return fitted_size(info.width, info.height, *target) or (info.width, info.height)


def _page_count(path, loader):
    if loader not in MULTI_PAGE_LOADERS:
        return 1
    done = subprocess.run(["vipsheader", "-f", "n-pages", path], capture_output=True, text=True)
    text = done.stdout.strip()
    return int(text) if done.returncode == 0 and text.isdigit() else 1


def read_headers(paths, chunk=200):
    """{path: ImageInfo} for every path libvips can read; unreadable ones are left out."""
    infos = {}
    paths = list(paths)
    for start in range(0, len(paths), chunk):
        part = paths[start : start + chunk]
        done = subprocess.run(["vipsheader", *part], capture_output=True, text=True)
        for line in done.stdout.splitlines():
            match = HEADER_LINE.match(line)
            if match and match["path"] in part:
                loader = match["loader"]
                infos[match["path"]] = ImageInfo(
                    int(match["width"]),
                    int(match["height"]),
                    loader,
                    _page_count(match["path"], loader),
                    int(match["bands"]),
                )
    return infos


def decodes_cleanly(path):
    """(True, "") when libvips decodes every pixel of the first page without a warning."""
    done = subprocess.run(
        ["vips", "avg", f"{path}[fail_on=warning]"], capture_output=True, text=True
    )
    if done.returncode == 0:
        return True, ""
    message = (done.stderr or done.stdout).strip().splitlines()
    return False, message[-1] if message else f"vips exit {done.returncode}"


@functools.lru_cache(maxsize=None)
def alpha_is_opaque(path, bands):
    """True when the last band of the first page is 255 everywhere (dropping it changes nothing)."""
    with tempfile.TemporaryDirectory() as folder:
        alpha = str(Path(folder) / "alpha.v")
        done = subprocess.run(["vips", "extract_band", path, alpha, str(bands - 1)],
                              capture_output=True)
        if done.returncode != 0:
            return False
        done = subprocess.run(["vips", "min", alpha], capture_output=True, text=True)
        try:
            return done.returncode == 0 and float(done.stdout) in (255.0, 65535.0)
        except ValueError:
            return False
