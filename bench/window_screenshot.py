#!/usr/bin/env python3
"""Start-up cost of the window: `tarvik --screenshot` from process start to exit, median of
several runs, and the largest peak memory (max RSS) of those runs. Goals: under 0.5 s and
under 80 MB.

    bench/window_screenshot.py [path/to/tarvik] [runs]
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

program = sys.argv[1] if len(sys.argv) > 1 else "build/release/src/tarvik/tarvik"
if not os.path.exists(program):
    program = "build/dev/src/tarvik/tarvik"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9

env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
times = []
peak_kb = 0
with tempfile.TemporaryDirectory() as folder:
    env["HOME"] = folder  # a settings store of its own
    for run in range(runs):
        shot = os.path.join(folder, f"shot{run}.png")
        start = time.perf_counter()
        pid = os.fork()
        if pid == 0:
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, 2)
            os.execve(program, [program, "--screenshot", shot, "--lang", "en"], env)
        _, status, usage = os.wait4(pid, 0)
        times.append(time.perf_counter() - start)
        peak_kb = max(peak_kb, usage.ru_maxrss)
        if status != 0 or not os.path.exists(shot):
            sys.exit(f"{program} --screenshot failed (status {status})")

print(f"tarvik --screenshot: median {statistics.median(times) * 1000:.0f} ms over {runs} runs "
      f"(goal < 500 ms), peak memory {peak_kb / 1024:.1f} MB (goal < 80 MB)")
