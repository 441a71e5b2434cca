#!/usr/bin/env python3
"""Throughput of kovi-rzk-batch against peer tools and the decoder's floor.

Every tool shrinks a fresh copy of the same set in place, the tools take turns
(interleaved repetitions), and every output is checked afterwards: the fitted
size, the file's own format, all its pages, a clean decode, nothing lost or left
behind. See bench/README.md.
"""
import argparse
import datetime
import json
import os
import platform
import shutil
import subprocess
import sys
from pathlib import Path

from benchlib import corpus, report, setup, tools
from benchlib.check import check_outputs
from benchlib.measure import run_measured

BENCH = Path(__file__).resolve().parent
REPO = BENCH.parent
SHRINK_SETS = ["jpeg640", "jpeg1024", "mixed640", *corpus.SMALL_SETS]
ALL_SETS = SHRINK_SETS + ["listing"]


def parse_arguments():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--ours", type=Path, default=REPO / "build/bin/kovi-rzk-batch",
                        help="our binary (default: build/bin/kovi-rzk-batch in the repository)")
    parser.add_argument("--corpus", type=Path, default=corpus.default_corpus(),
                        help="corpus folder with jpeg/, other/ and small/ (default: $BENCH_CORPUS, "
                             "else $TMPDIR/shrink-bench-corpus); built when missing")
    parser.add_argument("--tools", default=",".join(tool.name for tool in tools.ALL_TOOLS),
                        help="comma-separated tools (default: all): %(default)s")
    parser.add_argument("--sets", default=",".join(ALL_SETS),
                        help="comma-separated sets (default: all): %(default)s")
    parser.add_argument("--reps", type=int, default=3, help="repetitions per tool (default 3)")
    parser.add_argument("--files", type=int, default=None,
                        help="take only N files of jpeg/, N of other/, N JPEGs of small/ and N "
                             "of its other files, spread over the sorted names (a smoke run)")
    parser.add_argument("--list-copies", type=int, default=10,
                        help="how many times the listing's big folder repeats the set (default 10)")
    parser.add_argument("--in-flight", type=int, default=os.cpu_count() or 2,
                        help="processes, threads or files at a time for the parallel peers "
                             "and the floor (default: the number of cores)")
    parser.add_argument("--check", choices=["first", "all", "none"], default="first",
                        help="check the outputs of the first repetition (default), all, or none")
    parser.add_argument("--cache", type=Path,
                        default=Path(os.environ.get("KOVI_BENCH_CACHE", BENCH / ".cache")),
                        help="sharp, the compiled floor and the results (default bench/.cache)")
    parser.add_argument("--work", type=Path,
                        default=Path(os.environ.get("TMPDIR", "/tmp")) / "kovi-bench-work",
                        help="scratch folder for the copies (default $TMPDIR/kovi-bench-work)")
    parser.add_argument("--no-install", dest="install", action="store_false",
                        help="do not install missing peers")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    arguments = parser.parse_args()
    arguments.tools = [name for name in arguments.tools.split(",") if name]
    arguments.sets = [name for name in arguments.sets.split(",") if name]
    unknown = [name for name in arguments.sets if name not in ALL_SETS]
    if unknown:
        parser.error(f"unknown sets: {', '.join(unknown)}; known: {', '.join(ALL_SETS)}")
    if arguments.reps < 1 or arguments.in_flight < 1:
        parser.error("--reps and --in-flight must be at least 1")
    return arguments


def first_line(argv):
    try:
        done = subprocess.run(argv, capture_output=True, text=True, timeout=30)
        return (done.stdout or done.stderr).strip().splitlines()[0]
    except (OSError, IndexError, subprocess.SubprocessError):
        return "not available"


def environment(arguments, context):
    with open("/proc/cpuinfo") as cpuinfo:
        cpu = next((line.split(":", 1)[1].strip() for line in cpuinfo
                    if line.startswith("model name")), platform.processor())
    load = os.getloadavg()
    lines = [
        f"date: {datetime.datetime.now().isoformat(timespec='seconds')}",
        f"machine: {os.cpu_count()} cores, {cpu}; load average {load[0]:.2f} {load[1]:.2f}",
        f"ours: {context.ours}"
        + (f" (built {datetime.datetime.fromtimestamp(context.ours.stat().st_mtime):%Y-%m-%d %H:%M})"
           if context.ours.is_file() else " (missing)"),
        f"corpus: {arguments.corpus}",
        f"libvips: {first_line(['vips', '--version'])}",
        f"ImageMagick: {first_line(['mogrify', '-version'])}",
        f"GraphicsMagick: {first_line(['gm', 'version'])}",
        f"Pillow: {first_line([tools.PEER_PYTHON, '-c', 'import PIL; print(PIL.__version__)'])}",
        "sharp: " + first_line(["node", "-e", "const s = require(process.argv[1]); "
                                "console.log(s.versions.sharp + ', libvips ' + s.versions.vips)",
                                str(context.sharp_module)]),
    ]
    if load[0] > 0.5:
        lines.append("WARNING: the machine is not quiet; timings will be noisy")
    return lines


def warn_about_list_files(ours):
    for name in ("exts.dat", "exflds.dat"):
        path = ours.parent / name
        if path.is_file() and path.stat().st_size > 0:
            print(f"WARNING: {path} is not empty; ours will skip the files it excludes",
                  file=sys.stderr)


def rotated(items, by):
    by %= len(items) if items else 1
    return items[by:] + items[:by]


def run_shrink_set(image_set, ready, arguments, context):
    jpeg_only = all(info.loader == "jpegload" for info in image_set.infos.values())
    applicable = [tool for tool in ready if jpeg_only or not tool.jpeg_only]
    summaries = {tool.name: report.ToolSummary(tool, image_set, len(image_set.sources),
                                               image_set.megapixels) for tool in applicable}
    folder = arguments.work / "run" / image_set.name
    logs = arguments.work / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    print(f"\n## {image_set.name}: {len(image_set.sources)} files, "
          f"{image_set.megabytes:.0f} MB, {image_set.megapixels:.0f} MP, "
          f"to {image_set.target_text}", flush=True)
    for repetition in range(arguments.reps):
        for tool in rotated(applicable, repetition):
            files = corpus.fresh_copy(image_set, folder)
            run = tool.command(files, folder, image_set.target, context)
            stem = logs / f"{image_set.name}-{tool.name}-{repetition + 1}"
            argv = run.argv
            if run.script is not None:
                stem.with_suffix(".sh").write_text(run.script)
                argv = run.argv + [str(stem.with_suffix(".sh"))]
            with open(stem.with_suffix(".out"), "w") as out, open(stem.with_suffix(".err"), "w") as err:
                measurement = run_measured(argv, out, err, env=run.env)
            summary = summaries[tool.name]
            summary.measurements.append(measurement)
            line = (f"  {tool.name:17} rep {repetition + 1}: {measurement.wall:7.2f} s wall, "
                    f"{measurement.cpu:7.2f} s CPU, {measurement.max_rss_mib:5.0f} MiB, "
                    f"exit {measurement.exit_code}")
            if arguments.check == "all" or (arguments.check == "first" and repetition == 0):
                result = check_outputs(image_set, folder, tool.strict)
                summary.checks.append(result)
                stem.with_suffix(".check").write_text("\n".join(result.details) + "\n")
                line += f"; {result.summary(tool.strict)}"
                if result.details:
                    line += f" (see {stem.with_suffix('.check')})"
            print(line, flush=True)
            if measurement.exit_code != 0 and stem.with_suffix(".err").stat().st_size:
                tail = stem.with_suffix(".err").read_text(errors="replace").strip().splitlines()
                print("    " + "\n    ".join(tail[-3:]), flush=True)
    ordered = [summaries[tool.name] for tool in applicable]
    print()
    print(report.shrink_table(ordered), flush=True)
    return ordered


def run_listing(image_set, ready, arguments, context):
    ours_ready = any(tool.name == "ours" for tool in ready)
    jpeg_folder, many_folder = corpus.listing_folders(image_set, arguments.work,
                                                      arguments.list_copies)
    folders = [("JPEG set", jpeg_folder), (f"set x{arguments.list_copies}", many_folder)]
    print(f"\n## listing: headers only, target {image_set.target_text}", flush=True)
    listings = []
    for label, folder in folders:
        names = sorted(entry.name for entry in os.scandir(folder))
        paths = [str(folder / name) for name in names]
        candidates = [("vipsheader (reference)", ["vipsheader", *paths])]
        if ours_ready:
            candidates.insert(0, ("ours", [str(context.ours), "--list", str(folder),
                                           image_set.target_text]))
        for tool_name, argv in candidates:
            summary = report.ListingSummary(label, tool_name, len(names))
            for repetition in range(arguments.reps):
                before = corpus.snapshot(folder)
                err_path = arguments.work / "logs" / f"listing-{tool_name.split()[0]}-{repetition + 1}.err"
                err_path.parent.mkdir(parents=True, exist_ok=True)
                with open(err_path, "w") as err:
                    measurement = run_measured(argv, subprocess.DEVNULL, err)
                summary.measurements.append(measurement)
                summary.modified |= corpus.snapshot(folder) != before
                print(f"  {label:10} {tool_name:22} rep {repetition + 1}: "
                      f"{measurement.wall:7.3f} s, {len(names) / measurement.wall:7.0f} files/s, "
                      f"exit {measurement.exit_code}", flush=True)
            # One more run, untimed, to see that the listing did list something.
            listing_out = arguments.work / "logs" / f"listing-{tool_name.split()[0]}-output.txt"
            with open(listing_out, "w") as out:
                subprocess.run(argv, stdout=out, stderr=subprocess.DEVNULL)
            with open(listing_out, errors="replace") as out:
                summary.output_lines = sum(1 for _ in out)
            if summary.output_lines < len(names):
                print(f"  WARNING: {tool_name} printed {summary.output_lines} lines for "
                      f"{len(names)} files (see {listing_out})", flush=True)
            listings.append(summary)
    print()
    print(report.listing_table(listings), flush=True)
    return listings


def main():
    arguments = parse_arguments()
    arguments.cache = arguments.cache.resolve()
    arguments.work = arguments.work.resolve()
    corpus.ensure_corpus(arguments.corpus, REPO, arguments.sets)
    context = tools.Context(ours=arguments.ours.resolve(),
                            window=arguments.ours.resolve().with_name("kovi-window-bench"),
                            floor=arguments.cache / "floor",
                            sharp_module=setup.sharp_module(arguments.cache),
                            in_flight=arguments.in_flight)
    ready = setup.prepare(tools.select(arguments.tools), context, arguments.cache,
                          arguments.install)
    if any(tool.name == "ours" for tool in ready):
        warn_about_list_files(context.ours)
    header = environment(arguments, context)
    print("# kovi-rzk-batch throughput\n\n" + "\n".join(f"- {line}" for line in header),
          flush=True)

    image_sets = corpus.build_sets(arguments.corpus, arguments.sets, arguments.files)
    arguments.work.mkdir(parents=True, exist_ok=True)
    summaries, listings = [], []
    for image_set in image_sets:
        if image_set.name == "listing":
            listings += run_listing(image_set, ready, arguments, context)
        else:
            summaries += run_shrink_set(image_set, ready, arguments, context)

    verdicts = report.goals(summaries, listings)
    if verdicts:
        subset = " (a subset: the goals are judged on the full corpus only)" if arguments.files else ""
        print(f"\n## goals{subset}\n\n{verdicts}")
    failed = [one for one in summaries if one.tool.strict and not one.passed()]
    failed_listing = [one for one in listings if one.tool_name == "ours"
                      and (one.modified or any(m.exit_code for m in one.measurements))]
    for one in failed:
        print(f"\nFAILED: ours on {one.image_set.name}: {one.check_text()}, "
              f"exit {one.exit_codes}; logs in {arguments.work / 'logs'}")
    for one in failed_listing:
        print(f"\nFAILED: ours --list on {one.label}: exit codes "
              f"{sorted({m.exit_code for m in one.measurements})}, files modified: {one.modified}")

    results = arguments.cache / "results"
    results.mkdir(parents=True, exist_ok=True)
    stamp = datetime.datetime.now().strftime("%Y%m%d-%H%M%S")
    record = {"environment": header, "arguments": {k: str(v) for k, v in vars(arguments).items()},
              "sets": [one.as_dict() for one in summaries],
              "listing": [one.as_dict() for one in listings], "goals": verdicts.splitlines()}
    (results / f"{stamp}.json").write_text(json.dumps(record, indent=2) + "\n")
    print(f"\nresults: {results / (stamp + '.json')}")
    if not arguments.keep:
        shutil.rmtree(arguments.work / "run", ignore_errors=True)
        for name in ("listing-base", "listing-jpeg", "listing-many"):
            shutil.rmtree(arguments.work / name, ignore_errors=True)
    sys.exit(1 if failed or failed_listing else 0)


if __name__ == "__main__":
    main()
