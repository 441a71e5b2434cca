"""The tools under test: ours, the peers and the floor, as commands over a folder."""
import os
import shlex
import sys
from dataclasses import dataclass
from pathlib import Path

BENCH = Path(__file__).resolve().parent.parent
QUALITY = 92  # the quality that our factor 21 gives
FACTOR = 21
HINT_SCALE = 2  # size hints ask for twice the target, as the tools' documentation advises
PEER_PYTHON = "/usr/bin/python3"  # Debian's python3-pil is installed for the system python


@dataclass
class Context:
    ours: Path
    window: Path  # the main window's run without a user, built beside ours
    floor: Path
    sharp_module: Path
    in_flight: int  # processes, threads or files at a time for the parallel peers


@dataclass
class Run:
    """What to start: argv, or a bash script written to the run folder."""

    argv: list
    env: dict = None
    script: str = None


class Tool:
    name = ""
    description = ""
    strict = False  # results must be exactly right (ours); peers are only reported
    jpeg_only = False
    packages = ()  # Debian packages that provide it

    def available(self, context):
        return True

    def command(self, files, folder, target, context):
        raise NotImplementedError


def _hint(target):
    return f"{target[0] * HINT_SCALE}x{target[1] * HINT_SCALE}"


def _box(target):
    return f"{target[0]}x{target[1]}"


def _which(program):
    return any(
        os.access(Path(folder) / program, os.X_OK)
        for folder in os.environ.get("PATH", "").split(os.pathsep)
    )


class Ours(Tool):
    name = "ours"
    description = f"kovi-rzk-batch --no-log --lum {FACTOR} --chrom {FACTOR}"
    strict = True

    def available(self, context):
        return context.ours.is_file() and os.access(context.ours, os.X_OK)

    def command(self, files, folder, target, context):
        factor = str(FACTOR)
        return Run([str(context.ours), "--no-log", "--lum", factor, "--chrom", factor,
                    str(folder), _box(target)])


class Window(Tool):
    name = "window"
    description = "the main window's run (kovi-window-bench, offscreen), factors 21"
    strict = True

    def available(self, context):
        return context.window.is_file() and os.access(context.window, os.X_OK)

    def command(self, files, folder, target, context):
        factor = str(FACTOR)
        # Its own settings folder, so the user's are neither read nor changed.
        settings = folder.parent / (folder.name + "-settings")
        settings.mkdir(exist_ok=True)
        environment = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                           XDG_CONFIG_HOME=str(settings))
        return Run([str(context.window), "--lum", factor, "--chrom", factor, str(folder),
                    _box(target)], env=environment)


class Floor(Tool):
    name = "floor"
    description = "libjpeg-turbo decode at DCT scale + box + encode, 2 threads"
    jpeg_only = True
    packages = ("gcc", "libjpeg62-turbo-dev")

    def available(self, context):
        return context.floor.is_file()

    def command(self, files, folder, target, context):
        return Run([str(context.floor), "-j", str(context.in_flight), "-q", str(QUALITY),
                    _box(target), *files])


class Mogrify(Tool):
    name = "mogrify"
    description = "ImageMagick 6 mogrify -resize 'WxH>'"
    packages = ("imagemagick",)

    def available(self, context):
        return _which("mogrify")

    def command(self, files, folder, target, context):
        return Run(["mogrify", "-quality", str(QUALITY), "-resize", _box(target) + ">", *files])


class MogrifyHint(Mogrify):
    name = "mogrify-hint"
    description = f"the same with -define jpeg:size={HINT_SCALE}x the target"

    def command(self, files, folder, target, context):
        return Run(["mogrify", "-define", f"jpeg:size={_hint(target)}", "-quality", str(QUALITY),
                    "-resize", _box(target) + ">", *files])


class GraphicsMagickHint(Tool):
    name = "gm-hint"
    description = f"GraphicsMagick gm mogrify -size {HINT_SCALE}x the target"
    packages = ("graphicsmagick",)

    def available(self, context):
        return _which("gm")

    def command(self, files, folder, target, context):
        return Run(["gm", "mogrify", "-size", _hint(target), "-quality", str(QUALITY),
                    "-resize", _box(target) + ">", *files])


def _share_out(files, workers):
    """Greedy split by bytes, so both workers finish at about the same time."""
    lanes = [[] for _ in range(workers)]
    loads = [0] * workers
    for path in sorted(files, key=os.path.getsize, reverse=True):
        lane = loads.index(min(loads))
        lanes[lane].append(path)
        loads[lane] += os.path.getsize(path)
    return [sorted(lane) for lane in lanes if lane]


VIPS_QUALITY_SUFFIXES = {".jpg", ".jpeg", ".jpe", ".webp", ".tif", ".tiff", ".heic", ".avif"}
VIPS_ALL_PAGES_SUFFIXES = {".gif", ".webp", ".tif", ".tiff"}  # load every frame, not the first
VIPS_TEMPORARY_PREFIX = "kovi-bench-tmp-"


def _vipsthumbnail_lane(files, target):
    """Shell lines for one process: vipsthumbnail writes beside each file under a
    temporary name in the file's own format, then the outputs replace the inputs."""
    lines = []
    by_suffix = {}
    for path in files:
        by_suffix.setdefault(Path(path).suffix, []).append(path)
    for suffix, group in sorted(by_suffix.items()):
        options = f"[Q={QUALITY}]" if suffix.lower() in VIPS_QUALITY_SUFFIXES else ""
        pattern = f"{VIPS_TEMPORARY_PREFIX}%s{suffix}{options}"
        load = "[n=-1]" if suffix.lower() in VIPS_ALL_PAGES_SUFFIXES else ""
        lines.append(" ".join(shlex.quote(part) for part in [
            "vipsthumbnail", "--no-rotate", "--size", _box(target) + ">", "-o", pattern,
            *(path + load for path in group)]))
    renames = []
    for path in files:
        source = Path(path)
        renames += [str(source.with_name(VIPS_TEMPORARY_PREFIX + source.name)), path]
    lines.append(" ".join(shlex.quote(part) for part in [
        PEER_PYTHON, "-c", "import os, sys; a = sys.argv[1:]; "
        "[os.replace(a[i], a[i + 1]) for i in range(0, len(a), 2)]", *renames]))
    return " && ".join(lines)


class VipsThumbnail(Tool):
    name = "vipsthumbnail"
    description = "vipsthumbnail --no-rotate --size 'WxH>', one process"
    packages = ("libvips-tools",)

    def available(self, context):
        return _which("vipsthumbnail")

    def processes(self, context):
        return 1

    def command(self, files, folder, target, context):
        lanes = _share_out(files, self.processes(context))
        if len(lanes) == 1:
            script = _vipsthumbnail_lane(lanes[0], target) + "\n"
        else:
            script = "status=0\n"
            script += "".join(f"( {_vipsthumbnail_lane(lane, target)} ) &\n" for lane in lanes)
            script += "for job in $(jobs -p); do wait $job || status=1; done\nexit $status\n"
        return Run(["bash"], script=script)


class VipsThumbnailPerCore(VipsThumbnail):
    name = "vipsthumbnail-2p"
    description = "the same, one process per core"

    def processes(self, context):
        return context.in_flight


class Pillow(Tool):
    name = "pillow"
    description = "Pillow thumbnail() (draft mode), 2 threads"
    packages = ("python3-pil",)

    def available(self, context):
        return Path(PEER_PYTHON).is_file() and os.system(
            f"{PEER_PYTHON} -c 'import PIL' >/dev/null 2>&1") == 0

    def command(self, files, folder, target, context):
        return Run([PEER_PYTHON, str(BENCH / "peers/pillow_shrink.py"), str(target[0]),
                    str(target[1]), str(QUALITY), str(context.in_flight), *files])


class Sharp(Tool):
    name = "sharp"
    description = "sharp (npm) resize fit inside, 2 files at a time"
    packages = ("nodejs",)

    def available(self, context):
        return _which("node") and (context.sharp_module / "package.json").is_file()

    def command(self, files, folder, target, context):
        env = dict(os.environ, KOVI_BENCH_SHARP=str(context.sharp_module))
        return Run(["node", str(BENCH / "peers/sharp_shrink.js"), str(target[0]),
                    str(target[1]), str(QUALITY), str(context.in_flight), *files], env=env)


ALL_TOOLS = [Ours(), Window(), Floor(), Mogrify(), MogrifyHint(), GraphicsMagickHint(), VipsThumbnail(),
             VipsThumbnailPerCore(), Pillow(), Sharp()]


def select(names):
    by_name = {tool.name: tool for tool in ALL_TOOLS}
    unknown = [name for name in names if name not in by_name]
    if unknown:
        sys.exit(f"unknown tools: {', '.join(unknown)}; known: {', '.join(by_name)}")
    return [by_name[name] for name in names]
