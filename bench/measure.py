#!/usr/bin/env python3
"""Runs the timed part of run_bench.sh and prints its figures.

measure.py RUNS OUT_DIR SCAN_BENCH CORPUS RULES

The native passes are timed inside scan_bench (compare mode: raw reads, the scan with each
set, the attribute calls alone, interleaved round by round so that a busy machine affects
them alike). yara -p 1 is timed from here: one warm-up run, then RUNS runs. Medians of wall
clock and of CPU time (user + system) are reported; on a machine shared with other work the
CPU time is the steadier of the two.
"""
import os
import statistics
import subprocess
import sys
import time


def time_yara(runs, rules, corpus, out_path):
    command = ["yara", "-p", "1", "-r", rules, corpus]
    with open(out_path, "wb") as out:
        subprocess.run(command, stdout=out, stderr=subprocess.STDOUT, check=True)
    walls, cpus = [], []
    for _ in range(runs):
        with open(os.devnull, "wb") as devnull:
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=devnull, stderr=devnull)
            _, status, usage = os.wait4(child.pid, 0)
            walls.append(time.perf_counter() - start)
            cpus.append(usage.ru_utime + usage.ru_stime)
        if status != 0:
            sys.exit(f"yara failed with status {status}")
    return statistics.median(walls), statistics.median(cpus)


def main():
    runs, out_dir, scan_bench, corpus, rules = sys.argv[1:6]
    runs = int(runs)
    native = subprocess.run([scan_bench, "compare", str(runs), corpus], check=True,
                            capture_output=True, text=True).stdout
    seconds = {}
    for line in native.splitlines():
        words = line.split()
        if words[:1] == ["seconds"]:
            seconds[words[1]] = (float(words[2]), float(words[3]))
        elif words[:1] == ["files"]:
            files = int(words[1])
        else:
            print(line)
    yara_out = os.path.join(out_dir, "yara.out")
    seconds["yara"] = time_yara(runs, rules, corpus, yara_out)
    with open(yara_out, encoding="utf-8", errors="replace") as f:
        matched = sorted(line.split()[0] for line in f if line.strip())
    print(f"yara matched: {', '.join(matched) or 'nothing'}")

    raw, scan3, attributes, yara = (seconds[k] for k in ("raw", "scan3", "attributes", "yara"))
    scan = tuple(s / 3 for s in scan3)   # one scan per file: one set
    print(f"medians of {runs} runs, seconds wall / cpu: raw reads {raw[0]:.3f} / {raw[1]:.3f}; "
          f"scan, three sets {scan3[0]:.3f} / {scan3[1]:.3f}; attribute calls alone "
          f"{attributes[0]:.3f} / {attributes[1]:.3f}; yara -p 1 {yara[0]:.2f} / {yara[1]:.2f}")
    for label, i in (("wall", 0), ("cpu", 1)):
        print(f"files/s by {label:4}: raw reads {files / raw[i]:7.0f}, scan {files / scan[i]:7.0f} "
              f"(one set; {files / scan3[i]:6.0f} with all three), yara -p 1 {files / yara[i]:5.0f}")
    print(f"the scan against the raw reads plus its attribute calls: "
          f"{scan[1] / (raw[1] + attributes[1]):.2f} by cpu, {scan[0] / (raw[0] + attributes[0]):.2f} by wall")
    print(f"ratio scan/raw-reads: {scan[1] / raw[1]:.2f} by cpu, {scan[0] / raw[0]:.2f} by wall "
          "(target <= 1.25)")
    print(f"ratio yara/scan: {yara[1] / scan[1]:.0f} by cpu, {yara[0] / scan[0]:.0f} by wall "
          f"(target >= 100); with all three sets per file {yara[1] / scan3[1]:.0f} by cpu, "
          f"{yara[0] / scan3[0]:.0f} by wall")


if __name__ == "__main__":
    main()
