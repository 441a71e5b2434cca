"""Getting the peers: Debian packages, sharp from npm into the cache, the floor compiled."""
import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

from .tools import BENCH

SHARP_VERSION = os.environ.get("KOVI_BENCH_SHARP_VERSION", "0.35.6")
HARNESS_PACKAGES = ("libvips-tools",)  # vipsheader and vips for the checks


def apt_install(packages):
    packages = [package for package in packages if not _installed(package)]
    if not packages:
        return True
    print(f"installing {' '.join(packages)}", flush=True)
    command = ["apt-get", "install", "-y", "--no-install-recommends", *packages]
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    if subprocess.run(command, **quiet).returncode == 0:
        return True
    subprocess.run(["apt-get", "update"], **quiet)
    return subprocess.run(command).returncode == 0


def _installed(package):
    done = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                          capture_output=True, text=True)
    return done.returncode == 0 and done.stdout.strip().endswith(" installed")


def sharp_module(cache):
    return cache / "npm/node_modules/sharp"


def install_sharp(cache):
    module = sharp_module(cache)
    manifest = module / "package.json"
    if manifest.is_file() and json.loads(manifest.read_text()).get("version") == SHARP_VERSION:
        return True
    if not shutil.which("npm") and not apt_install(["nodejs", "npm"]):
        return False
    print(f"installing sharp {SHARP_VERSION} from npm into {cache / 'npm'}", flush=True)
    (cache / "npm").mkdir(parents=True, exist_ok=True)
    done = subprocess.run(["npm", "install", "--prefix", str(cache / "npm"), "--no-audit",
                           "--no-fund", "--no-save", f"sharp@{SHARP_VERSION}"])
    return done.returncode == 0 and manifest.is_file()


def build_floor(cache, install):
    """Compile floor.c when it is newer than the binary."""
    source, binary = BENCH / "floor.c", cache / "floor"
    if binary.is_file() and binary.stat().st_mtime >= source.stat().st_mtime:
        return True
    if install and (not shutil.which("gcc") or not Path("/usr/include/jpeglib.h").is_file()):
        apt_install(["gcc", "libjpeg62-turbo-dev"])
    cache.mkdir(parents=True, exist_ok=True)
    done = subprocess.run(["gcc", "-std=c11", "-O2", "-Wall", "-Wextra", "-Werror", "-o",
                           str(binary), str(source), "-ljpeg", "-lpthread", "-lm"])
    return done.returncode == 0


def prepare(selected, context, cache, install):
    """Make the selected tools available where we can; returns the ones that are."""
    if install:
        apt_install(HARNESS_PACKAGES)
        apt_install(sorted({package for tool in selected if tool.name not in ("sharp", "floor")
                            for package in tool.packages}))
        if any(tool.name == "sharp" for tool in selected):
            install_sharp(cache)
    if any(tool.name == "floor" for tool in selected):
        build_floor(cache, install)
    ready = []
    for tool in selected:
        if tool.available(context):
            ready.append(tool)
        else:
            print(f"skipping {tool.name}: not available"
                  + (f" ({context.ours} not found)" if tool.name == "ours" else ""),
                  file=sys.stderr)
    if not shutil.which("vipsheader"):
        sys.exit("vipsheader (libvips-tools) is needed for the checks")
    return ready
