"""Run one command and measure its wall time, CPU time and memory."""
import os
import subprocess
import threading
import time
from dataclasses import dataclass

SAMPLE_SECONDS = 0.05


@dataclass
class Measurement:
    wall: float  # seconds
    cpu: float  # user + system seconds of the command and all its children
    max_rss_mib: float  # largest resident set of any one process (getrusage)
    tree_rss_mib: float  # largest sampled sum over the whole process tree
    exit_code: int


def _children(pid):
    found = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as handle:
                found.extend(int(child) for child in handle.read().split())
    except OSError:
        pass
    return found


def _rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as handle:
            for line in handle:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except (OSError, ValueError):
        pass
    return 0


def _tree_rss_kib(root):
    total, pending = 0, [root]
    while pending:
        pid = pending.pop()
        total += _rss_kib(pid)
        pending.extend(_children(pid))
    return total


class _TreeSampler(threading.Thread):
    """Samples the summed RSS of a process tree: two processes of 200 MiB use 400."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.peak_kib = 0
        self.stopped = threading.Event()

    def run(self):
        while not self.stopped.wait(SAMPLE_SECONDS):
            self.peak_kib = max(self.peak_kib, _tree_rss_kib(self.pid))


def run_measured(argv, stdout, stderr, env=None, cwd=None):
    """Run argv to its end; stdout and stderr are open files (or DEVNULL)."""
    start = time.monotonic()
    process = subprocess.Popen(argv, stdout=stdout, stderr=stderr, env=env, cwd=cwd)
    sampler = _TreeSampler(process.pid)
    sampler.start()
    # wait4 rather than Popen.wait: it returns the children's rusage as well.
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    sampler.stopped.set()
    sampler.join()
    process.returncode = os.waitstatus_to_exitcode(status)
    return Measurement(
        wall=wall,
        cpu=usage.ru_utime + usage.ru_stime,
        max_rss_mib=usage.ru_maxrss / 1024,
        tree_rss_mib=max(sampler.peak_kib, usage.ru_maxrss) / 1024,
        exit_code=process.returncode,
    )
