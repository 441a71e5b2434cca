#!/usr/bin/env python3
"""A slow stand-in with kovi-rzk-batch's command line, for trying the harness
before the real program is built. It is not a peer and never timed as one.

  stand-in-batch.py [--no-log] [--lum N] [--chrom N] FOLDER WIDTHxHEIGHT
  stand-in-batch.py --list FOLDER WIDTHxHEIGHT
"""
import os
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from benchlib import images  # noqa: E402

MULTI_PAGE = {"gifload", "webpload", "tiffload"}
QUALITY_SUFFIXES = {".jpg", ".jpeg", ".webp", ".tif", ".tiff"}


def main(argv):
    listing = "--list" in argv
    positional, skip = [], False
    for index, argument in enumerate(argv):
        if skip:
            skip = False
        elif argument in ("--lum", "--chrom"):
            skip = True
        elif not argument.startswith("--"):
            positional.append(argument)
    if len(positional) != 2 or "x" not in positional[1]:
        sys.exit(__doc__)
    folder = Path(positional[0])
    target = tuple(int(side) for side in positional[1].split("x")[:2])
    paths = [str(path) for path in sorted(folder.iterdir()) if path.is_file()]
    infos = images.read_headers(paths)
    failed = 0
    for path in paths:
        info = infos.get(path)
        if info is None:
            continue
        fitted = images.fitted_size(info.width, info.height, *target)
        if listing:
            print(f"{path},{os.path.getsize(path)},{info.width},{info.height},{info.loader}")
            continue
        if fitted is None:
            continue
        source = Path(path)
        temporary = source.with_name(f".stand-in-tmp-{source.name}")
        load = f"{path}[n=-1]" if info.loader in MULTI_PAGE else path
        save = str(temporary) + ("[Q=92]" if source.suffix.lower() in QUALITY_SUFFIXES else "")
        done = subprocess.run(["vips", "thumbnail", load, save, str(fitted[0]), "--height",
                               str(fitted[1]), "--size", "force", "--no-rotate"])
        if done.returncode == 0:
            os.replace(temporary, path)
        else:
            failed += 1
            temporary.unlink(missing_ok=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
