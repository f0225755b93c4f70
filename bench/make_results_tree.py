#!/usr/bin/env python3
"""Makes a results tree for the outbreak report's benchmark: MACHINES machine folders, about
TOTAL_BYTES in all, of the kinds an outbreak leaves (the cleaner's logs as the acceptance
scenarios expect them, with as many processes scanned as a working machine runs; the
launcher's runs.jsonl and console transcripts; sweep results of file servers).

make_results_tree.py ROOT MACHINES TOTAL_BYTES
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "report"))
from reportlib import expected_text, launcher_line, sweep_lines  # noqa: E402

DAYS = ["Mon Dec %02d 08:%02d:11 2026" % (d, d) for d in range(1, 29)]


def with_processes(log, count, seed=0):
    """The log with `count` more processes scanned after each scanning line of the cleaner's
    own program: the size of a log from a machine that runs programs."""
    pick = random.Random(seed)
    names = [b"svchost", b"explorer", b"winlogon", b"services", b"lsass", b"spoolsv", b"csrss",
             b"smss", b"rundll32", b"ctfmon", b"wuauclt", b"msiexec", b"taskmgr", b"notepad"]
    marker = b"\t Scanning C:\\work\\purgekit.exe ---> Not found\r\n"
    extra = b"".join(b"\t Scanning C:\\WINDOWS\\system32\\" + pick.choice(names) + b"%d.exe ---> Not found\r\n" % n
                     for n in range(count))
    return log.replace(marker, marker + extra)


def kinds(processes):
    """(weight, files maker) per kind of machine; each maker gives {name: bytes}."""
    def logs(relative, runs, seed):
        dates = [DAYS[(seed + n) % len(DAYS)] for n in range(runs)]
        return with_processes(expected_text(relative, dates), processes, seed)

    def console(relative, seed):
        return with_processes(expected_text(relative), processes, seed)

    def clean(host, seed):
        return {"PURGEKIT.LOG": logs("clean-nt351/expected-log.txt", 1, seed),
                "runs.jsonl": launcher_line(host, "clean", 0),
                "console-20261207T153012Z.txt": console("clean-winxp/expected-stdout.txt", seed)}

    def typical(host, seed):
        return {"PURGEKIT.LOG": logs("typical-infection-winxp/expected-log.txt", 2, seed),
                "runs.jsonl": launcher_line(host, "cleaned", 3010) +
                launcher_line(host, "clean", 0, started="2026-12-08T07:00:12Z"),
                "console-20261207T153012Z.txt": console("typical-infection-winxp/expected-stdout-1.txt", seed)}

    def second_run(host, seed):
        return {"PURGEKIT.LOG": logs("memory-variant-a/expected-log.txt", 1, seed),
                "runs.jsonl": launcher_line(host, "cleaned", 3010)}

    def incomplete(host, seed):
        return {"PURGEKIT.LOG": logs("dropped-files/expected-log.txt", 1, seed),
                "runs.jsonl": launcher_line(host, "incomplete", 1)}

    def cut(host, seed):
        log = logs("typical-infection-winxp/expected-log.txt", 2, seed)
        return {"PURGEKIT.LOG": log[:len(log) * 3 // 4]}

    def never_started(host, seed):
        return {"runs.jsonl": launcher_line(host, "failed", 1)}

    def file_server(host, seed):
        found = [("/srv/share/dept%d/tool%d.exe" % (seed % 7, n), ["TROJ_VORN.A"], "moved",
                  "20261207T153012Z-%d-%d.vir" % (seed, n)) for n in range(seed % 3)]
        return {"sweep.jsonl": sweep_lines(found)}

    return [(55, clean), (20, typical), (8, second_run), (5, incomplete), (3, cut),
            (2, never_started), (7, file_server)]


def main():
    root, machines, total = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    # The scanned processes per pass that give about TOTAL_BYTES: a sample of machines at two
    # counts, then a straight line.
    def size(processes):
        pick = random.Random(1)
        table = kinds(processes)
        weights = [w for w, _ in table]
        return sum(len(v) for n in range(200)
                   for v in pick.choices(table, weights)[0][1]("PC", n).values()) / 200
    low, high = size(0), size(100)
    processes = max(0, round((total / machines - low) * 100 / (high - low)))
    table = kinds(processes)
    weights = [w for w, _ in table]
    pick = random.Random(machines)
    made = 0
    for index in range(machines):
        host = "PC-%06d" % index
        folder = os.path.join(root, host)
        os.makedirs(folder)
        for name, data in pick.choices(table, weights)[0][1](host, index).items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
            made += len(data)
    print("made %d machine folders, %d bytes (%d processes a pass)" % (machines, made, processes))


if __name__ == "__main__":
    main()
