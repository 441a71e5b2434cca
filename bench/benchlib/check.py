"""Is every output right? Fitted size, own format, all pages, clean decode, nothing lost."""
import filecmp
import os
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

from . import images


@dataclass
class CheckResult:
    files: int = 0
    exact: int = 0
    off_by_one: int = 0  # the scaled side one pixel away from the fit rule
    wrong: int = 0  # wrong size, format or page count
    alpha_lost: int = 0  # the transparency is gone
    undecodable: int = 0
    lost: int = 0
    extra: int = 0  # files that were not there before (left-over temporaries)
    rewritten_small: int = 0  # files that already fitted but were written anyway
    details: list = field(default_factory=list)

    def passed(self, strict):
        faults = self.wrong + self.undecodable + self.lost + self.extra
        if strict:
            faults += self.off_by_one + self.rewritten_small + self.alpha_lost
        return faults == 0

    def summary(self, strict):
        parts = []
        for label, count in (("±1px", self.off_by_one), ("WRONG", self.wrong),
                             ("ALPHA LOST", self.alpha_lost),
                             ("BAD DECODE", self.undecodable), ("LOST", self.lost),
                             ("EXTRA", self.extra)):
            if count:
                parts.append(f"{label} {count}")
        if self.rewritten_small:
            parts.append(("REWROTE SMALL " if strict else "rewrote small ")
                         + str(self.rewritten_small))
        text = f"{self.exact}/{self.files} exact"
        return text + (", " + ", ".join(parts) if parts else "")


def check_outputs(image_set, folder, strict, decode_workers=2):
    """Compare every file in folder with its source in image_set."""
    result = CheckResult()
    sources = {Path(path).name: path for path in image_set.sources}
    infos = image_set.info_by_name()
    present = {entry.name for entry in os.scandir(folder) if entry.is_file()}
    for name in sorted(set(sources) - present):
        result.lost += 1
        result.details.append(f"{name}: missing after the run")
    for name in sorted(present - set(sources)):
        result.extra += 1
        result.details.append(f"{name}: not a source file (left behind?)")

    names = sorted(name for name in present & set(sources) if name in infos)
    result.files = len(names)
    outputs = images.read_headers([str(Path(folder) / name) for name in names])
    for name in names:
        path = str(Path(folder) / name)
        source_info, output_info = infos[name], outputs.get(path)
        if output_info is None:
            result.undecodable += 1
            result.details.append(f"{name}: header unreadable")
            continue
        problems = []
        expected = images.expected_size(source_info, image_set.target)
        got = (output_info.width, output_info.height)
        off = max(abs(got[0] - expected[0]), abs(got[1] - expected[1]))
        if output_info.loader != source_info.loader:
            problems.append(f"format {source_info.loader} became {output_info.loader}")
        if output_info.pages != source_info.pages:
            problems.append(f"{source_info.pages} pages became {output_info.pages}")
        if off > 1:
            problems.append(f"size {got[0]}x{got[1]}, expected {expected[0]}x{expected[1]}")
        if problems:
            result.wrong += 1
            result.details.append(f"{name}: " + "; ".join(problems))
        elif off == 1:
            result.off_by_one += 1
            result.details.append(f"{name}: {got[0]}x{got[1]}, expected {expected[0]}x{expected[1]}")
        else:
            result.exact += 1
        if source_info.has_alpha and not output_info.has_alpha:
            if images.alpha_is_opaque(sources[name], source_info.bands):
                result.details.append(f"{name}: an opaque alpha channel was dropped (harmless)")
            else:
                result.alpha_lost += 1
                result.details.append(f"{name}: the alpha channel was dropped")
        fits = images.fitted_size(source_info.width, source_info.height, *image_set.target) is None
        if fits and not filecmp.cmp(sources[name], path, shallow=False):
            result.rewritten_small += 1
            result.details.append(f"{name}: already fitted but was rewritten")

    decodable = [name for name in names if str(Path(folder) / name) in outputs]
    with ThreadPoolExecutor(max_workers=decode_workers) as pool:
        verdicts = pool.map(lambda name: images.decodes_cleanly(str(Path(folder) / name)),
                            decodable)
        for name, (clean, message) in zip(decodable, verdicts):
            if not clean:
                result.undecodable += 1
                result.details.append(f"{name}: does not decode cleanly: {message}")
    return result
