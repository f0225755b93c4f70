#!/usr/bin/env python3
"""Runs the timed part of run_report_bench.sh and prints its figures and ratios.

measure_report.py RUNS REPORT TREE SMALL_TREE OUT_DIR

Each program is timed from here as a child process (wall clock, and its CPU time from wait4),
after a warm-up that reads the whole tree into the page cache; medians of RUNS runs, the floor
and the report interleaved round by round so that a busy machine affects them alike. The
report's peak resident memory is measured by /usr/bin/time (a child of this Python process
would count the pages it shares with it): on the whole tree, and on the first 1,000 machines
(the part that does not grow with the machines); the machines' summaries, as the report keeps
them (a record of 56 bytes and one string of the texts of hosts.csv's row, with its
allocation), are estimated from hosts.csv.
"""
import csv
import os
import statistics
import subprocess
import sys
import time

MB = 1 << 20
RECORD = 56 + 16        # MachineSummary and its string's allocation header


def timed(command):
    """(wall seconds, CPU seconds) of one run, output thrown away."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1):
        sys.exit("%s failed with exit code %d" % (command[0], code))
    return wall, usage.ru_utime + usage.ru_stime


def peak_memory(command, scratch):
    """The peak resident memory of one run in bytes, by /usr/bin/time."""
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", scratch] + command, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    with open(scratch) as f:
        return int(f.read().split()[-1]) * 1024


def main():
    runs, report, tree, small, out = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
    floor = ["sh", "-c", 'find "$0" -type f -print0 | xargs -0 cat >/dev/null', tree]
    command = [report, "-o", out, tree]
    files = sum(len(f) for _, _, f in os.walk(tree))
    size = sum(os.path.getsize(os.path.join(d, n)) for d, _, f in os.walk(tree) for n in f)
    machines = len(os.listdir(tree))
    print("tree: %d machine folders, %d files, %.0f MB" % (machines, files, size / MB))
    timed(floor)            # into the page cache
    samples = {"floor": [], "report": []}
    for _ in range(runs):
        samples["floor"].append(timed(floor))
        samples["report"].append(timed(command))
    wall = {name: statistics.median(s[0] for s in runs_) for name, runs_ in samples.items()}
    cpu = {name: statistics.median(s[1] for s in runs_) for name, runs_ in samples.items()}
    peak = max(peak_memory(command, out + ".time") for _ in range(3))
    print("read floor (find | xargs cat): %.2f s wall, %.2f s CPU" % (wall["floor"], cpu["floor"]))
    print("purgekit-report:               %.2f s wall, %.2f s CPU" % (wall["report"], cpu["report"]))
    print("time ratio report / floor: %.2f (target at most 2)" % (wall["report"] / wall["floor"]))
    small_machines = len(os.listdir(small))
    small_peak = max(peak_memory([report, "-o", out + "-small", small], out + ".time") for _ in range(3))
    with open(os.path.join(out, "hosts.csv"), newline="", encoding="utf-8", errors="surrogateescape") as f:
        rows = list(csv.reader(f))[1:]
    texts = sum(len(r[0]) + len(r[1]) + len(r[4]) + len(r[5]) + len(r[6]) for r in rows)
    summaries = len(rows) * RECORD + texts
    per_machine = (peak - small_peak) / max(1, machines - small_machines)
    print("peak memory: %.1f MB on %d machines, %.1f MB on %d (the fixed part: target at most 64 MB)"
          % (peak / MB, machines, small_peak / MB, small_machines))
    print("growth: %.0f bytes a machine; the summaries as kept: %.1f MB (%.0f bytes a machine)"
          % (per_machine, summaries / MB, summaries / max(1, len(rows))))
    print("memory ratio peak / (64 MB + summaries): %.2f (target at most 1)" % (peak / (64 * MB + summaries)))


if __name__ == "__main__":
    main()
