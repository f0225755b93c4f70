"""Shared pieces of the outbreak report's tests and benchmark: the cleaner's logs as the
acceptance scenarios expect them (their expected files, never copies of them), results trees
made of them, and runs of purgekit-report.
"""
import csv
import io
import json
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "..", "acceptance", "scenarios")
sys.path[:0] = [os.path.join(HERE, "..", "acceptance"), os.path.join(HERE, "..", "sweep")]
from compare_output import expand  # noqa: E402
from sweeplib import NOBODY, need, write  # noqa: E402,F401  (the sweep tests' own, shared)

DATE = "Wed Apr 03 09:05:03 2002"
HOSTS_HEADER = ["host", "platform", "status", "runs", "last_run", "found", "failures", "sweep_found"]


def expected_text(relative, dates=(DATE,), crlf=True):
    """The expected file SCENARIOS/relative as the cleaner writes it: its "@@include" lines
    expanded as the acceptance scenarios expand them, each "<date>" replaced by the next of
    `dates` (the last one repeats), line ends CR LF."""
    with open(os.path.join(SCENARIOS, relative), encoding="latin-1", newline="") as f:
        parts = expand(f.read()).encode("latin-1").split(b"<date>")
    out = parts[0]
    for index, part in enumerate(parts[1:]):
        out += dates[min(index // 2, len(dates) - 1)].encode() + part   # two date lines a run
    return out.replace(b"\n", b"\r\n") if crlf else out


def launcher_line(host, outcome, exit_code, started="2026-12-07T15:30:12Z", platform="Windows XP"):
    return (json.dumps({"host": host, "started": started, "ended": started.replace(":12Z", ":57Z"),
                        "platform": platform, "outcome": outcome, "exit_code": exit_code,
                        "console": "console-" + started.replace("-", "").replace(":", "") + ".txt"})
            + "\n").encode()


def sweep_lines(found, errors=0, summary=True):
    """A sweep's JSON Lines: `found` is a list of (path, variants, action, quarantine)."""
    lines = []
    for path, variants, action, quarantine in found:
        item = {"type": "found", "path": path, "size": 40960, "variants": list(variants)}
        if action:
            item["action"] = action
        if quarantine:
            item["quarantine"] = quarantine
        lines.append(json.dumps(item, ensure_ascii=False))
    for n in range(errors):
        lines.append(json.dumps({"type": "error", "path": "/srv/private%d" % n, "error": "Permission denied"}))
    if summary:
        lines.append(json.dumps({"type": "summary", "scanned": 100, "found": len(found), "errors": errors,
                                 "seconds": 0.5, "files_per_second": 200}))
    return ("\n".join(lines) + "\n").encode("utf-8", "surrogateescape")


def read_hosts(path):
    """hosts.csv as a list of rows (dicts), names as bytes kept through surrogateescape."""
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-8", "surrogateescape")
    rows = list(csv.reader(io.StringIO(text, newline="")))
    assert rows and rows[0] == HOSTS_HEADER, rows[:1]
    assert data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""), "lines not CR LF"
    return [dict(zip(HOSTS_HEADER, row)) for row in rows[1:]]


def read_json_lines(path):
    """Every line valid JSON in valid UTF-8; strings with escaped bytes back as they were."""
    objects = []
    with open(path, "rb") as f:
        for raw in f:
            assert raw.endswith(b"\n")
            objects.append(json.loads(raw.decode("utf-8")))
    return objects


def make_portable_tree(root):
    """A results tree of machines of every kind, with names that Windows takes too (the Win32
    build is run on the same tree). RETURNS {host: (status, runs, sweep_found)} expected."""
    typical = expected_text("typical-infection-winxp/expected-log.txt",
                            ("Mon Dec 07 08:15:00 2026", "Tue Dec 08 07:02:44 2026"))
    clean = expected_text("clean-nt351/expected-log.txt", ("Tue Dec 08 07:05:00 2026",))
    cleaned = expected_text("memory-variant-a/expected-log.txt", ("Mon Dec 07 09:00:00 2026",))
    second = typical.index(b"Start :", typical.index(b"Start :") + 1)
    nul = clean.replace(b"C:\\work\\purgekit.exe", b"C:\\wo\0rk\\purgekit.exe", 1)
    garbage = bytes(random.Random(7).randrange(256) for _ in range(5000))
    expected = {}

    def machine(host, files, status, runs, sweep_found=0):
        for name, data in files.items():
            write(os.path.join(root, host, name), data)
        os.makedirs(os.path.join(root, host), exist_ok=True)
        expected[host] = (status, runs, sweep_found)

    machine("PC-CLEAN", {"PURGEKIT.LOG": clean, "runs.jsonl": launcher_line("PC-CLEAN", "clean", 0)}, "clean", 1)
    machine("PC-TYPICAL", {"PURGEKIT.LOG": typical,
                           "runs.jsonl": launcher_line("PC-TYPICAL", "cleaned", 3010) +
                           launcher_line("PC-TYPICAL", "clean", 0, started="2026-12-08T07:00:12Z"),
                           "console-20261207T081500Z.txt":
                           expected_text("typical-infection-winxp/expected-stdout-1.txt")}, "clean", 2)
    machine("PC-SECOND", {"PURGEKIT.LOG": cleaned}, "second-run", 1)
    machine("PC-LOCKED", {"PURGEKIT.LOG": expected_text("dropped-files/expected-log.txt")}, "attention", 1)
    machine("PC-WIN95", {"PURGEKIT.LOG": expected_text("typical-infection-win95/expected-log.txt")}, "attention", 1)
    machine("PC-CUT-LINE", {"PURGEKIT.LOG": typical[:second + 300]}, "attention", 2)
    machine("PC-CUT-RUN", {"PURGEKIT.LOG": cleaned[:cleaned.index(b"Cleaning System")]}, "attention", 1)
    machine("PC-LF", {"PURGEKIT.LOG": typical.replace(b"\r\n", b"\n")}, "clean", 2)
    machine("PC-NUL", {"PURGEKIT.LOG": nul}, "clean", 1)
    machine("PC-GARBAGE", {"PURGEKIT.LOG": garbage}, "no-run", 0)
    machine("PC-TEXT", {"PURGEKIT.LOG": b"This folder holds the results of the cleaning.\r\nDo not remove.\r\n"},
            "no-run", 0)
    machine("PC-FAILED-LAUNCH", {"PURGEKIT.LOG": clean,
                                 "runs.jsonl": launcher_line("PC-FAILED-LAUNCH", "clean", 0) +
                                 launcher_line("PC-FAILED-LAUNCH", "failed", 1, started="2026-12-09T07:00:00Z")},
            "attention", 1)
    machine("PC-LAUNCH-ONLY", {"runs.jsonl": launcher_line("PC-LAUNCH-ONLY", "cleaned", 3010)}, "second-run", 0)
    machine("PC-TRANSCRIPTS", {
        "console-20261207T081500Z.txt": expected_text("typical-infection-winxp/expected-stdout-1.txt"),
        "console-20261208T070000Z.txt": expected_text("typical-infection-winxp/expected-stdout-2.txt")},
        "clean", 2)
    machine("PC-BADJSON", {"PURGEKIT.LOG": clean, "runs.jsonl":
                           b"not json\n{\"host\":\"PC-BADJSON\"}\n{\"a\":\"caf\xe9\"}\n" +
                           b"{\"a\":" + b"[" * 100 + b"]" * 100 + b"}\n[1,2]\n\x00\x00\x00\n" +
                           launcher_line("PC-BADJSON", "clean", 0)}, "attention", 1)
    machine("PC-EMPTY", {}, "no-run", 0)
    machine("pc-lower-case", {"purgekit.log": clean}, "clean", 1)
    machine("\u00dcbersicht-PC", {"PURGEKIT.LOG": clean}, "clean", 1)
    machine("fs-moved", {"sweep.jsonl": sweep_lines([("/srv/share/tools/svc.exe", ["TROJ_VORN.A"], "moved",
                                                       "20261207T153012Z-4711-1.vir")])}, "clean", 0, 1)
    machine("fs-left", {"sweep.jsonl": sweep_lines([("/srv/share/\u00dcbersicht/a.exe", ["TROJ_VORN.C"], None, None),
                                                     ("/srv/share/b.exe", ["TROJ_VORN.A", "TROJ_VORN.E"], "failed",
                                                      None)], errors=1)}, "attention", 0, 2)
    machine("fs-cut", {"sweep.jsonl": sweep_lines([("/srv/c.exe", ["TROJ_VORN.E"], "removed", None)],
                                                   summary=False)}, "attention", 0, 1)
    machine("fs-shards", {"sweep.jsonl": sweep_lines([("/srv/d.exe", ["TROJ_VORN.A"], "moved", "q1.vir")]) +
                          sweep_lines([("/srv/e.exe", ["TROJ_VORN.A"], "moved", "q2.vir")])}, "clean", 0, 2)
    machine("fs-long-line", {"sweep.jsonl": b"{\"type\":\"found\",\"path\":\"" + b"x" * 300000 + b"\"}\n" +
                             sweep_lines([])}, "attention", 0, 0)
    write(os.path.join(root, "README.txt"), b"results of the network's cleaning\n")
    return expected


def add_posix_names(root, expected):
    """Clean machines whose folder names Windows does not take: not UTF-8, and HTML."""
    clean = expected_text("clean-nt351/expected-log.txt", ("Tue Dec 08 07:05:00 2026",))
    for name in (b"caf\xe9-PC", b"<script>alert(1)", b"<img src=x onerror=alert(2)>"):
        write(os.path.join(os.fsencode(root), name, b"PURGEKIT.LOG"), clean)
        expected[name.decode("utf-8", "surrogateescape")] = ("clean", 1, 0)
