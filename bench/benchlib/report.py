"""Tables for the terminal and the results file, and the verdict on the goals."""
import statistics

GOALS_MEMORY_MIB = 300
GOALS_LISTING_FILES_PER_SECOND = 2000
GOALS_SMALL_FILES_PER_SECOND = 1000


def median(values):
    return statistics.median(values) if values else float("nan")


class ToolSummary:
    """All repetitions of one tool on one set."""

    def __init__(self, tool, image_set, file_count, megapixels):
        self.tool = tool
        self.image_set = image_set
        self.file_count = file_count
        self.megapixels = megapixels
        self.measurements = []
        self.checks = []  # one per checked repetition

    @property
    def wall(self):
        return median([m.wall for m in self.measurements])

    @property
    def cpu(self):
        return median([m.cpu for m in self.measurements])

    @property
    def files_per_second(self):
        return self.file_count / self.wall

    @property
    def max_rss(self):
        return max((m.max_rss_mib for m in self.measurements), default=float("nan"))

    @property
    def tree_rss(self):
        return max((m.tree_rss_mib for m in self.measurements), default=float("nan"))

    @property
    def exit_codes(self):
        return sorted({m.exit_code for m in self.measurements})

    def passed(self):
        return all(check.passed(self.tool.strict) for check in self.checks) and (
            not self.tool.strict or self.exit_codes == [0])

    def check_text(self):
        if not self.checks:
            return "not checked"
        return self.checks[0].summary(self.tool.strict) + (
            "" if len(self.checks) == 1 else f" (+{len(self.checks) - 1} more checked)")

    def as_dict(self):
        return {
            "tool": self.tool.name, "set": self.image_set.name, "files": self.file_count,
            "megapixels": self.megapixels, "wall_median": self.wall, "cpu_median": self.cpu,
            "files_per_second": self.files_per_second,
            "max_rss_mib": self.max_rss, "tree_rss_mib": self.tree_rss,
            "walls": [m.wall for m in self.measurements], "exit_codes": self.exit_codes,
            "checks": [check.summary(self.tool.strict) for check in self.checks],
            "passed": self.passed(),
        }


def shrink_table(summaries):
    ours = next((one for one in summaries if one.tool.name == "ours"), None)
    rows = ["| tool | wall s (median) | min–max | CPU s | max RSS MiB | tree MiB | files/s "
            "| MP/s | time ÷ ours | exit | check |",
            "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|"]
    for one in summaries:
        walls = [m.wall for m in one.measurements]
        ratio = f"{one.wall / ours.wall:.2f}" if ours and ours.measurements else "–"
        rows.append(
            f"| {one.tool.name} | {one.wall:.2f} | {min(walls):.2f}–{max(walls):.2f} "
            f"| {one.cpu:.2f} | {one.max_rss:.0f} | {one.tree_rss:.0f} "
            f"| {one.files_per_second:.1f} | {one.megapixels / one.wall:.1f} | {ratio} "
            f"| {','.join(map(str, one.exit_codes))} | {one.check_text()} |")
    return "\n".join(rows)


class ListingSummary:
    def __init__(self, label, tool_name, file_count):
        self.label = label
        self.tool_name = tool_name
        self.file_count = file_count
        self.measurements = []
        self.modified = False
        self.output_lines = 0  # from one untimed run with the output kept

    @property
    def files_per_second(self):
        return self.file_count / median([m.wall for m in self.measurements])

    def as_dict(self):
        return {"folder": self.label, "tool": self.tool_name, "files": self.file_count,
                "walls": [m.wall for m in self.measurements],
                "files_per_second": self.files_per_second,
                "max_rss_mib": max(m.max_rss_mib for m in self.measurements),
                "exit_codes": sorted({m.exit_code for m in self.measurements}),
                "modified_files": self.modified, "output_lines": self.output_lines}


def listing_table(listings):
    rows = ["| folder | tool | files | wall s (median) | files/s | max RSS MiB | exit "
            "| output lines | files untouched |",
            "|---|---|---:|---:|---:|---:|---|---:|---|"]
    for one in listings:
        walls = [m.wall for m in one.measurements]
        rows.append(
            f"| {one.label} | {one.tool_name} | {one.file_count} | {median(walls):.3f} "
            f"| {one.files_per_second:.0f} | {max(m.max_rss_mib for m in one.measurements):.0f} "
            f"| {','.join(str(code) for code in sorted({m.exit_code for m in one.measurements}))} "
            f"| {one.output_lines} | {'NO' if one.modified else 'yes'} |")
    return "\n".join(rows)


def _find(summaries, set_name, tool_name):
    return next((one for one in summaries
                 if one.image_set.name == set_name and one.tool.name == tool_name
                 and one.measurements), None)


def goals(summaries, listings):
    """One line per goal that this run can judge: the numbers and met / MISSED."""
    lines = []

    def compare(label, set_name, peer_name, factor):
        ours, peer = _find(summaries, set_name, "ours"), _find(summaries, set_name, peer_name)
        if ours and peer:
            ratio = ours.wall / peer.wall
            verdict = "met" if ratio <= factor else "MISSED"
            lines.append(f"- {label}: ours {ours.wall:.2f} s, {peer_name} {peer.wall:.2f} s, "
                         f"ours ÷ {peer_name} = {ratio:.2f} (goal ≤ {factor:.2f}): {verdict}")

    compare("JPEG to 640x480 against sharp", "jpeg640", "sharp", 0.90)
    compare("JPEG to 640x480 against the floor", "jpeg640", "floor", 1.15)
    compare("JPEG to 1024x768 against sharp", "jpeg1024", "sharp", 1.00)
    compare("mixed set to 640x480 against sharp", "mixed640", "sharp", 1.00)
    compare("small JPEGs to 80x60 against sharp", "small80", "sharp", 0.50)
    ours = _find(summaries, "small80", "ours")
    if ours:
        rate = ours.files_per_second
        lines.append(f"- small JPEGs to 80x60: ours {ours.file_count} files in {ours.wall:.2f} s, "
                     f"{rate:.0f} files/s (goal ≥ {GOALS_SMALL_FILES_PER_SECOND}): "
                     + ("met" if rate >= GOALS_SMALL_FILES_PER_SECOND else "MISSED"))
    for set_name in ("jpeg640", "jpeg1024", "mixed640"):
        ours, window = _find(summaries, set_name, "ours"), _find(summaries, set_name, "window")
        if ours and window:
            ratio = window.wall / ours.wall
            lines.append(f"- the window's run on {set_name}: {window.wall:.2f} s, ours "
                         f"{ours.wall:.2f} s, window ÷ ours = {ratio:.2f} (goal ≤ 1.10): "
                         + ("met" if ratio <= 1.10 else "MISSED"))
    ours_runs = [one for one in summaries if one.tool.name == "ours" and one.measurements]
    if ours_runs:
        peak = max(one.max_rss for one in ours_runs)
        lines.append(f"- peak memory of ours: {peak:.0f} MiB (goal < {GOALS_MEMORY_MIB}): "
                     + ("met" if peak < GOALS_MEMORY_MIB else "MISSED"))
    for one in listings:
        if one.tool_name == "ours":
            rate = one.files_per_second
            lines.append(f"- listing speed on {one.label}: {rate:.0f} files/s (goal ≥ "
                         f"{GOALS_LISTING_FILES_PER_SECOND}): "
                         + ("met" if rate >= GOALS_LISTING_FILES_PER_SECOND else "MISSED"))
    return "\n".join(lines)
