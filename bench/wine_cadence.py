#!/usr/bin/env python3
"""The Windows program's 100 ms ticks under Wine, with its window visible and then minimised.

Runs inside a wine-run.sh session on an X server (the command is in docs/benchmarks.md), with
the helpers of tests/windows/window_test.py: the program at its start-up frequency, COM9 on a
pseudo-terminal of this harness. One run: START, SECONDS with the window visible, then SECONDS
minimised through its system menu (Alt+Space, Minimize: Wine's windows are the X windows
themselves when no window manager runs, so only the program's own menu makes it iconic). Beside
it a reference writer in this process writes the same pattern to a second pseudo-terminal at
absolute 100 ms deadlines on the monotonic clock, read and timestamped the same way: the
machine's own noise. For each phase and writer: the intervals between the bursts' first bytes,
their median, and the p99 and maximum of |interval - 100 ms|.
"""

import argparse
import math
import os
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "windows"))
import window_test as harness  # noqa: E402

PERIOD = 0.1


def reference_writer(fd, stop):
    deadline = time.monotonic() + PERIOD
    while not stop.is_set():
        time.sleep(max(0.0, deadline - time.monotonic()))
        os.write(fd, b"fffff")
        deadline += PERIOD


def figures(master, since, until):
    """Intervals, median, p99 and max deviation from the period, in ms."""
    starts = [stamp for stamp, _ in master.bursts(since, until)]
    gaps = [(b - a) * 1000 for a, b in zip(starts, starts[1:])]
    if not gaps:
        return "no ticks"
    deviations = sorted(abs(gap - PERIOD * 1000) for gap in gaps)
    p99 = deviations[math.ceil(0.99 * len(deviations)) - 1]
    return (f"{len(gaps)} intervals, median {statistics.median(gaps):.3f} ms, "
            f"p99 dev. {p99:.3f} ms, max dev. {deviations[-1]:.3f} ms")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--shim", required=True, type=Path, help="the modem-line library")
    parser.add_argument("--seconds", type=float, default=20.0, help="per phase")
    args = parser.parse_args()

    master, reference = harness.Master(), harness.Master()
    env = dict(os.environ, LD_PRELOAD=str(args.shim.resolve()), MODEM_SHIM_PTY=master.path)
    runner = Path(harness.__file__).resolve().parent / "wine-run.sh"
    program = subprocess.Popen([runner, "--port", f"COM9={master.path}", args.exe], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stop = threading.Event()
    try:
        window = harness.Window(timeout=90)
        time.sleep(2)
        master.settle()
        window.click(harness.START)
        threading.Thread(target=reference_writer, args=(reference.slave, stop),
                         daemon=True).start()
        time.sleep(1)
        phases = []
        for name in ("visible", "minimised"):
            if name == "minimised":
                harness.xdotool("windowfocus", "--sync", window.id)
                harness.xdotool("key", "alt+space")
                time.sleep(0.5)
                harness.xdotool("key", "n")
                time.sleep(1)
                # An iconic window of Wine's is unmapped: no longer among the visible ones.
                iconic = window.id not in harness.windows(harness.CAPTION)
                print(f"the window is {'minimised' if iconic else 'NOT minimised'}", flush=True)
            since = time.monotonic()
            time.sleep(args.seconds)
            phases.append((name, since, time.monotonic()))
        stop.set()
        with open("/proc/loadavg") as loadavg:
            print(f"load average {loadavg.read().split()[0]}")
        for name, since, until in phases:
            print(f"{name:9}  program:   {figures(master, since, until)}")
            print(f"{'':9}  reference: {figures(reference, since, until)}")
    finally:
        program.terminate()
        program.wait()


if __name__ == "__main__":
    main()
