#!/usr/bin/python3
"""Shrink images in place with Pillow, the way a careful script would.

Usage: pillow_shrink.py WIDTH HEIGHT QUALITY THREADS FILE...

Files that already fit are left alone. Each image is fitted inside the box with
Image.thumbnail (which uses JPEG draft mode, decoding at a reduced DCT scale),
saved in its own format beside the original and renamed over it, keeping EXIF
and the ICC profile. Pillow releases the GIL while it decodes, resizes and
encodes, so threads run in parallel. Failures are reported and the rest go on;
the exit status is 1 when any file failed.
"""
import os
import sys
from concurrent.futures import ThreadPoolExecutor

from PIL import Image

# Savers that take a quality setting (PNG, GIF and BMP have none; TIFF only with
# JPEG compression).
QUALITY_FORMATS = {"JPEG", "WEBP"}


def shrink(path, box, quality):
    with Image.open(path) as image:
        if image.width <= box[0] and image.height <= box[1]:
            return
        image_format = image.format
        options = {}
        for key in ("exif", "icc_profile"):
            if image.info.get(key):
                options[key] = image.info[key]
        if image_format in QUALITY_FORMATS:
            options["quality"] = quality
        if image_format == "TIFF" and image.info.get("compression"):
            options["compression"] = image.info["compression"]
        image.thumbnail(box)
        temporary = path + ".pillow-tmp"
        try:
            image.save(temporary, format=image_format, **options)
            os.replace(temporary, path)
        except BaseException:
            if os.path.exists(temporary):
                os.remove(temporary)
            raise


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    box = (int(sys.argv[1]), int(sys.argv[2]))
    quality, threads = int(sys.argv[3]), int(sys.argv[4])
    files = sys.argv[5:]

    def run(path):
        try:
            shrink(path, box, quality)
            return True
        except Exception as error:  # one bad file must not stop the rest
            print(f"pillow: {path}: {error}", file=sys.stderr)
            return False

    with ThreadPoolExecutor(max_workers=threads) as pool:
        results = list(pool.map(run, files))
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
