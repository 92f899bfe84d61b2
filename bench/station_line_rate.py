#!/usr/bin/env python3
"""Station throughput at the line rate: eight simulated controllers pacing the line at 115200
baud, 512,000 bytes each.

For each of the default reads and --fast:
  - one controller alone: `tarvik-cli auto --count 1` against one simulator, from the
    announcement to its "passed";
  - eight at once: `tarvik-cli station` over eight simulators, from the announcements to the
    eighth "passed";
and their ratio (aim <= 1.10 default, <= 1.05 fast). During the station's transfers it samples
the supervisor's CPU (aim < 2 % of one core), each worker's CPU, and the RSS of the supervisor
plus its eight workers.

Not a test: it takes minutes of machine time.
Usage: bench/station_line_rate.py [BUILD_DIR]   (default build/dev; needs tarvik-cli, tarvik-sim)
Environment: SIZE (default 512000), PORTS (default 8), BAUD (default 115200).
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "dev")
CLI = os.path.join(BUILD, "src", "cli", "tarvik-cli")
SIM = os.path.join(BUILD, "src", "sim", "tarvik-sim")
SIZE = int(os.environ.get("SIZE", "512000"))
PORTS = int(os.environ.get("PORTS", "8"))
BAUD = os.environ.get("BAUD", "115200")
TICK = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except OSError:
        return None


def rss_bytes(pid):
    try:
        with open(f"/proc/{pid}/statm") as f:
            return int(f.read().split()[1]) * PAGE
    except OSError:
        return 0


def children(pid):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            if int(fields[1]) == pid:
                found.append(int(entry))
        except OSError:
            pass
    return found


class Events:
    """Event lines of a running tarvik-cli, read without blocking."""

    def __init__(self, process):
        self.process = process
        os.set_blocking(process.stdout.fileno(), False)
        self.buffer = b""
        self.events = []

    def read(self):
        try:
            chunk = self.process.stdout.read()
        except BlockingIOError:
            chunk = None
        if chunk:
            self.buffer += chunk
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            try:
                self.events.append(json.loads(line))
            except ValueError:
                pass

    def count(self, state):
        return sum(1 for e in self.events if e.get("state") == state)

    def wait(self, predicate, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.read()
            if predicate():
                return True
            time.sleep(0.01)
        return False


def start_sims(work, count):
    sims, ports = [], []
    for i in range(count):
        sim = subprocess.Popen([SIM, "--line-rate", "--baud", BAUD, "--save-image",
                                os.path.join(work, f"got{i}.bin")],
                               stdout=subprocess.PIPE, text=True)
        ports.append(sim.stdout.readline().strip())
        sims.append(sim)
    return sims, ports


def stop(processes):
    for p in processes:
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
    for p in processes:
        try:
            p.wait(timeout=20)
        except subprocess.TimeoutExpired:
            p.kill()


def run(work, env, image, fast, count):
    sims, ports = start_sims(work, count)
    extra = ["--fast"] if fast else []
    records = os.path.join(work, "records.sqlite")
    if count == 1:
        args = [CLI, "auto", "--port", ports[0], "--count", "1"]
    else:
        args = [CLI, "station", "--ports", ",".join(ports), "--count", str(count)]
    args += ["--mode", "2", "--image", image, "--baud", BAUD, "--events", "jsonl", "--lang",
             "en", "--records", records] + extra
    tool = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    events = Events(tool)
    if not events.wait(lambda: events.count("waiting") >= count, 30):
        stop([tool] + sims)
        raise SystemExit("the ports did not open")
    workers = children(tool.pid) if count > 1 else []
    for sim in sims:
        sim.send_signal(signal.SIGUSR1)
    start = time.monotonic()
    events.wait(lambda: events.count("downloading") >= count, 30)
    # The CPU and memory while every transfer runs: from 10 % of the line time to 60 %.
    line_time = SIZE * 10 / int(BAUD)
    time.sleep(0.1 * line_time)
    sup_cpu0, t0 = cpu_seconds(tool.pid), time.monotonic()
    worker_cpu0 = {w: cpu_seconds(w) for w in workers}
    time.sleep(0.5 * line_time)
    sup_cpu1, t1 = cpu_seconds(tool.pid), time.monotonic()
    worker_cpu1 = {w: cpu_seconds(w) for w in workers}
    rss = rss_bytes(tool.pid) + sum(rss_bytes(w) for w in workers)
    ok = events.wait(lambda: events.count("passed") + events.count("failed") >= count, 600)
    elapsed = time.monotonic() - start
    passed = events.count("passed")
    tool.wait(timeout=60)
    stop(sims)
    if not ok:
        raise SystemExit("the transfers did not end")
    span = t1 - t0
    worker_cpu = [100 * (worker_cpu1[w] - worker_cpu0[w]) / span for w in workers
                  if worker_cpu0[w] is not None and worker_cpu1[w] is not None]
    return {
        "elapsed": elapsed,
        "passed": passed,
        "supervisor_cpu": 100 * (sup_cpu1 - sup_cpu0) / span,
        "worker_cpu": worker_cpu,
        "rss": rss,
    }


def main():
    for program in (CLI, SIM):
        if not os.access(program, os.X_OK):
            raise SystemExit(f"missing {program}")
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
        image = os.path.join(work, "fw.bin")
        with open(image, "wb") as f:
            f.write(os.urandom(SIZE))
        line_time = SIZE * 10 / int(BAUD)
        print(f"{PORTS} controllers, {SIZE} bytes each, {BAUD} baud (line time {line_time:.1f} s)")
        for fast in (False, True):
            name = "--fast" if fast else "default"
            alone = run(work, env, image, fast, 1)
            station = run(work, env, image, fast, PORTS)
            ratio = station["elapsed"] / alone["elapsed"]
            print(f"[{name}] one alone {alone['elapsed']:.1f} s; station of {PORTS} "
                  f"{station['elapsed']:.1f} s ({station['passed']} passed); ratio {ratio:.3f}")
            cpus = ", ".join(f"{c:.1f}" for c in station["worker_cpu"])
            print(f"[{name}] supervisor CPU {station['supervisor_cpu']:.2f} % of a core; "
                  f"workers {cpus} %; RSS supervisor + {PORTS} workers "
                  f"{station['rss'] / 1048576:.1f} MiB")


if __name__ == "__main__":
    main()
