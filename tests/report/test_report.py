#!/usr/bin/env python3
"""The whole native purgekit-report over a generated results tree with every kind of bad input:
logs cut inside a line or a run, binary garbage, text that is not the cleaner's, CR LF and LF,
NUL bytes, a 1 GB log, unreadable files and folders (read as an unprivileged user: root reads
everything), invalid JSON lines, names that are not UTF-8 or hold HTML, links and a FIFO; then
its outputs, its exit codes, its memory, and that nothing in the results tree changed. Its
report.html in headless Chromium: the DOM holds the totals and a row per machine, every name as
text; a screenshot (kept as report-screenshot.png in the working folder); no request made by
the page (a control page that does load from outside shows its requests in the same network
log); and it reads the same with JavaScript off: no script, handler or anything to load, the
DOM's text is the markup's text.

test_report.py PURGEKIT_REPORT
"""
import collections
import hashlib
import html.parser
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

from reportlib import (NOBODY, add_posix_names, expected_text, launcher_line, make_portable_tree, need,
                       read_hosts, read_json_lines, write)

GIB = 1 << 30


def snapshot(root):
    """Every entry of the tree (links not followed): its type, mode, size, times and, for a
    regular file, a digest of its bytes (of its first and last MiB when it is large)."""
    state = {}
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            status = os.lstat(path)
            digest = None
            if os.path.isfile(path) and not os.path.islink(path) and status.st_mode & 0o444:
                with open(path, "rb") as f:
                    if status.st_size > 8 << 20:
                        data = f.read(1 << 20)
                        f.seek(-(1 << 20), os.SEEK_END)
                        data += f.read()
                    else:
                        data = f.read()
                digest = hashlib.sha256(data).hexdigest()
            state[path] = (status.st_mode, status.st_size, status.st_mtime_ns, status.st_ctime_ns, digest)
    return state


def run(program, args, user=None):
    """(exit code, stdout, stderr, resource usage) of one run."""
    command = (NOBODY if user == "nobody" else []) + [program] + list(args)
    with tempfile.TemporaryFile() as stdout, tempfile.TemporaryFile() as stderr:
        child = subprocess.Popen(command, stdout=stdout, stderr=stderr)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        stdout.seek(0)
        stderr.seek(0)
        return child.returncode, stdout.read(), stderr.read(), usage


FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-quic",
         "--disable-extensions", "--mute-audio"]


class Text(html.parser.HTMLParser):
    """The text a page shows (style and title left out), its elements and attributes."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text, self.tags, self.attributes, self.skip = [], [], [], 0

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.attributes += [name for name, _ in attrs]
        self.skip += tag in ("style", "title")

    def handle_endtag(self, tag):
        self.skip -= tag in ("style", "title")

    def handle_data(self, data):
        if not self.skip:
            self.text.append(data)

    def words(self):
        return " ".join("".join(self.text).split())


def parse(markup):
    parser = Text()
    parser.feed(markup)
    parser.close()
    return parser


def chromium(profile, args, page, timeout=120):
    done = subprocess.run(["chromium"] + FLAGS + ["--user-data-dir=" + profile] + args + ["file://" + page],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
    return done.stdout.decode("utf-8")


def page_requests(net_log):
    """The URLs of the network requests that a page made (the browser's own have no origin)."""
    with open(net_log, encoding="utf-8") as f:
        log = json.load(f)
    start = log["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    return [e["params"]["url"] for e in log["events"]
            if e["type"] == start and "url" in e.get("params", {})
            and e["params"].get("initiator") != "not an origin"]


def png_size(path):
    """(width, height, distinct byte values of the pixel data) of a PNG file."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    width, height = struct.unpack(">II", data[16:24])
    at, pixels = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            pixels += data[at + 8:at + 8 + length]
        at += 12 + length
    return width, height, len(set(zlib.decompress(pixels)))


class ReportTree(unittest.TestCase):
    program = None

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="report-test-")
        os.chmod(cls.temp, 0o755)
        cls.results = os.path.join(cls.temp, "results")
        cls.expected = make_portable_tree(cls.results)
        clean = expected_text("clean-nt351/expected-log.txt", ("Tue Dec 08 07:05:00 2026",))
        typical = expected_text("typical-infection-winxp/expected-log.txt", ("Wed Dec 09 10:00:00 2026",))
        add_posix_names(cls.results, cls.expected)
        # Links are not followed: a machine folder that is one, and a log that is one.
        outside = os.path.join(cls.temp, "outside")
        write(os.path.join(outside, "PURGEKIT.LOG"), typical)
        os.symlink(outside, os.path.join(cls.results, "PC-LINK"))
        write(os.path.join(cls.results, "PC-LINKED-LOG", "runs.jsonl"), launcher_line("PC-LINKED-LOG", "clean", 0))
        os.symlink(os.path.join(outside, "PURGEKIT.LOG"), os.path.join(cls.results, "PC-LINKED-LOG", "PURGEKIT.LOG"))
        cls.expected["PC-LINKED-LOG"] = ("clean", 0, 0)
        os.makedirs(os.path.join(cls.results, "PC-FIFO"))
        os.mkfifo(os.path.join(cls.results, "PC-FIFO", "PURGEKIT.LOG"))
        cls.expected["PC-FIFO"] = ("no-run", 0, 0)
        # A 1 GB log: a clean run, a hole of NUL bytes (one line of 1 GB), the typical infection.
        big = os.path.join(cls.results, "PC-BIG", "PURGEKIT.LOG")
        write(big, clean)
        with open(big, "r+b") as f:
            f.seek(GIB - len(typical))
            f.write(typical)
        cls.expected["PC-BIG"] = ("clean", 3, 0)
        cls.big_nuls = GIB - len(clean) - len(typical)
        # Unreadable for the user the report runs as.
        write(os.path.join(cls.results, "PC-UNREADABLE-LOG", "PURGEKIT.LOG"), clean, mode=0o000)
        write(os.path.join(cls.results, "PC-UNREADABLE-LOG", "runs.jsonl"), launcher_line("x", "clean", 0))
        write(os.path.join(cls.results, "PC-UNREADABLE-FOLDER", "PURGEKIT.LOG"), clean)
        os.chmod(os.path.join(cls.results, "PC-UNREADABLE-FOLDER"), 0o000)
        cls.expected["PC-UNREADABLE-LOG"] = ("attention", 0, 0)
        cls.expected["PC-UNREADABLE-FOLDER"] = ("attention", 0, 0)
        cls.out = os.path.join(cls.temp, "out")
        os.mkdir(cls.out)
        os.chmod(cls.out, 0o777)
        cls.before = snapshot(cls.results)
        cls.status, cls.stdout, cls.stderr, cls.usage = run(cls.program, ["-o", cls.out, cls.results],
                                                            user="nobody")
        cls.page = os.path.join(cls.out, "report.html")
        with open(cls.page, encoding="utf-8") as f:   # valid UTF-8
            cls.markup = f.read()
        cls.net_log = os.path.join(cls.temp, "net-log.json")
        cls.dom = chromium(os.path.join(cls.temp, "profile"),
                           ["--dump-dom", "--virtual-time-budget=3000", "--log-net-log=" + cls.net_log], cls.page)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["chmod", "-R", "u+rwx", cls.temp])
        shutil.rmtree(cls.temp)

    def test_exit_code_and_summary(self):
        self.assertEqual(self.status, 2, self.stderr)   # unreadable input
        counts = collections.Counter(status for status, _, _ in self.expected.values())
        summary = self.stdout.decode()
        self.assertIn("purgekit-report: %d machines: %d attention, %d no-run, %d second-run, %d clean" % (
            len(self.expected), counts["attention"], counts["no-run"], counts["second-run"], counts["clean"]),
            summary)
        self.assertIn("report:   %s/report.html" % self.out, summary)

    def test_hosts(self):
        rows = read_hosts(os.path.join(self.out, "hosts.csv"))
        got = {row["host"]: (row["status"], int(row["runs"]), int(row["sweep_found"])) for row in rows}
        self.assertEqual(got, self.expected)
        # The machines that need a person first.
        order = ["attention", "no-run", "second-run", "clean"]
        self.assertEqual([row["status"] for row in rows], sorted((row["status"] for row in rows), key=order.index))
        by_host = {row["host"]: row for row in rows}
        for host, field, value in [
                ("PC-TYPICAL", "platform", "Windows XP"),
                ("PC-TYPICAL", "last_run", "2026-12-08T07:02:44"),
                ("PC-SECOND", "found", "TROJ_VORN.A processes 2"),
                ("PC-LOCKED", "found", "dropped files krn132.exe, wqk.dll"),
                ("PC-LOCKED", "failures", "dropped file not deleted: C:\\windows\\system32\\wqk.dll"),
                ("PC-CUT-RUN", "failures", "cut short: the run has no end"),
                ("PC-FAILED-LAUNCH", "failures", "unattended run 2026-12-09T07:00:00Z: failed (exit code 1)"),
                ("PC-FAILED-LAUNCH", "last_run", "2026-12-09T07:00:00Z"),
                ("fs-left", "failures", "2 dormant copies left in place; 1 path the sweep could not read"),
                ("PC-LAUNCH-ONLY", "last_run", "2026-12-07T15:30:12Z"),
                ("PC-BADJSON", "failures", "runs.jsonl: 6 lines not read")]:
            self.assertEqual(by_host[host][field], value, (host, field))
        self.assertIn("cut short", by_host["PC-CUT-LINE"]["failures"])
        self.assertIn("PURGEKIT.LOG could not be read: Permission denied", by_host["PC-UNREADABLE-LOG"]["failures"])
        self.assertIn("could not be read: Permission denied", by_host["PC-UNREADABLE-FOLDER"]["failures"])
        self.assertIn(b"caf\xe9-PC", [row["host"].encode("utf-8", "surrogateescape") for row in rows])

    def test_runs(self):
        runs = read_json_lines(os.path.join(self.out, "runs.jsonl"))
        cleaner = [r for r in runs if r["source"] != "runs.jsonl"]
        per_host = {}
        for item in cleaner:
            per_host.setdefault(item["host"], []).append(item)
        for host, (_, count, _) in self.expected.items():
            self.assertEqual(len(per_host.get(host, [])), count, host)
        typical = per_host["PC-TYPICAL"]
        self.assertEqual([(r["run"], r["outcome"], r["date_time"]) for r in typical],
                         [(1, "cleaned", "2026-12-07T08:15:00"), (2, "clean", "2026-12-08T07:02:44")])
        self.assertEqual(typical[0]["services_deleted"], ["KernelSvc", "Krn132"])
        self.assertEqual(typical[0]["values_removed"], ["Run\\krn132"])
        self.assertEqual(typical[1]["dropped"]["WinSvc.exe"], "blocking folder")
        self.assertEqual(per_host["PC-LOCKED"][0]["dropped"]["wqk.dll"], "delete failed")
        self.assertEqual([r["source"] for r in per_host["PC-TRANSCRIPTS"]],
                         ["console-20261207T081500Z.txt", "console-20261208T070000Z.txt"])
        self.assertEqual(per_host["PC-TRANSCRIPTS"][0]["found"],
                         "services KernelSvc, Krn132; TROJ_VORN.A processes 1; start-up values Run\\krn132; inoculated")
        self.assertEqual([r["outcome"] for r in per_host["PC-CUT-LINE"]], ["cleaned", "failed"])
        self.assertEqual(per_host["PC-LOCKED"][0]["failures"],
                         [{"kind": "dropped file not deleted", "text": "C:\\windows\\system32\\wqk.dll"}])
        launches = [(r["host"], r["outcome"], r["exit_code"]) for r in runs if r["source"] == "runs.jsonl"]
        self.assertIn(("PC-FAILED-LAUNCH", "failed", 1), launches)
        self.assertEqual(sum(1 for r in launches if r[0] == "PC-BADJSON"), 1)

    def test_findings(self):
        findings = read_json_lines(os.path.join(self.out, "findings.jsonl"))
        got = sorted((f["host"], f["path"], tuple(f["variants"]), f["action"], f["quarantine"]) for f in findings)
        self.assertEqual(got, sorted([
            ("fs-cut", "/srv/c.exe", ("TROJ_VORN.E",), "removed", ""),
            ("fs-left", "/srv/share/\u00dcbersicht/a.exe", ("TROJ_VORN.C",), "none", ""),
            ("fs-left", "/srv/share/b.exe", ("TROJ_VORN.A", "TROJ_VORN.E"), "failed", ""),
            ("fs-moved", "/srv/share/tools/svc.exe", ("TROJ_VORN.A",), "moved", "20261207T153012Z-4711-1.vir"),
            ("fs-shards", "/srv/d.exe", ("TROJ_VORN.A",), "moved", "q1.vir"),
            ("fs-shards", "/srv/e.exe", ("TROJ_VORN.A",), "moved", "q2.vir"),
        ]))

    def test_every_bad_input_is_said(self):
        lines = self.stderr.decode("utf-8", "surrogateescape").splitlines()
        r = self.results
        expected = [
            (r + "/PC-GARBAGE/PURGEKIT.LOG", "no run of the cleaner in it"),
            (r + "/PC-TEXT/PURGEKIT.LOG", "no run of the cleaner in it; 2 lines are not the cleaner's"),
            (r + "/PC-NUL/PURGEKIT.LOG", "1 NUL byte"),
            (r + "/PC-CUT-LINE/PURGEKIT.LOG", "1 run has no end (cut short)"),
            (r + "/PC-CUT-RUN/PURGEKIT.LOG", "1 run has no end (cut short)"),
            (r + "/PC-BIG/PURGEKIT.LOG", "1 line is not the cleaner's; %d NUL bytes" % self.big_nuls),
            (r + "/PC-BADJSON/runs.jsonl line 1", "invalid JSON: not a JSON object at byte 1"),
            (r + "/PC-BADJSON/runs.jsonl line 2", "not a record of an unattended run: no \"started\""),
            (r + "/PC-BADJSON/runs.jsonl line 3", "invalid JSON: not UTF-8 at byte 10"),
            (r + "/PC-BADJSON/runs.jsonl line 4", "invalid JSON: nested too deep"),
            (r + "/PC-BADJSON/runs.jsonl line 5", "invalid JSON: not a JSON object"),
            (r + "/PC-BADJSON/runs.jsonl", "1 more line not read (6 bad lines in all)"),
            (r + "/fs-cut/sweep.jsonl", "no summary line at its end: the sweep did not finish"),
            (r + "/fs-long-line/sweep.jsonl line 1", "longer than 262144 bytes: not read"),
            (r + "/PC-LINK", "a symbolic link: not followed, not read"),
            (r + "/PC-LINKED-LOG/PURGEKIT.LOG", "a symbolic link: not followed, not read"),
            (r + "/PC-FIFO/PURGEKIT.LOG", "not a regular file: not read"),
            (r + "/PC-UNREADABLE-LOG/PURGEKIT.LOG", "could not be read: Permission denied"),
            (r + "/PC-UNREADABLE-FOLDER", "could not be read: Permission denied"),
            (r + "/PC-UNREADABLE-LOG/runs.jsonl line 1", "the record names another host than its folder"),
            (r + "/README.txt", "not a machine's folder: not read"),
        ]
        for where, what in expected:
            self.assertTrue(any(line.startswith("purgekit-report: " + where + ": ") and what in line for line in lines),
                            "no line for %s (%s) in:\n%s" % (where, what, "\n".join(lines)))
        self.assertIn("PC-FIFO/PURGEKIT.LOG: not a regular file: not read", self.markup)

    def test_dom_holds_totals_and_machines(self):
        dom = parse(self.dom)
        words = dom.words()
        self.assertIn("PURGEKIT outbreak report", words)
        statuses = [status for status, _, _ in self.expected.values()]
        for status in ("attention", "no-run", "second-run", "clean"):
            total = re.search(r'id="total-%s"><b>(\d+)</b>' % status, self.dom)
            self.assertIsNotNone(total, status)
            self.assertEqual(int(total.group(1)), statuses.count(status), status)
        rows = re.findall(r'<tr class="m-([a-z-]+)"><td class="name">(.*?)</td>', self.dom)
        self.assertEqual(len(rows), len(self.expected))
        # Every name as text in its cell: markup escaped, a byte that is not UTF-8 by its value.
        names = {name for _, name in rows}
        marker = '<span class="byte" title="a byte shown by its value">\\xE9</span>'
        self.assertEqual(names, {host.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                                 .replace("\udce9", marker) for host in self.expected})
        # The folder named "<script>...": text in a cell, and no script element anywhere.
        self.assertIn("&lt;script&gt;alert(1)", names)
        self.assertNotIn("script", dom.tags)
        self.assertIn("caf\\xE9-PC", words)
        self.assertEqual(dom.tags.count("svg"), 1)

    def test_nothing_loaded_from_outside(self):
        self.assertEqual(page_requests(self.net_log), [])
        # The markup names nothing to load, not even from this machine (texts of the results
        # such as a folder named "<img src=x ...>" or "... not a regular file: ..." are no names).
        for pattern in (r"<script", r"<link", r"<img", r"<iframe", r"<object", r"<embed", r"<[^>]*\bsrc\s*=",
                        r"<[^>]*\bhref\s*=", r"url\(", r"@import", r"https?:", r"\bfile:/"):
            self.assertIsNone(re.search(pattern, self.markup, re.I), pattern)
        # The method sees a page that does load from outside.
        control = os.path.join(self.temp, "control.html")
        with open(control, "w") as f:
            f.write('<!DOCTYPE html><img src="http://192.0.2.1/x.png">')
        control_log = os.path.join(self.temp, "control-log.json")
        chromium(os.path.join(self.temp, "control-profile"),
                 ["--dump-dom", "--virtual-time-budget=3000", "--log-net-log=" + control_log], control)
        self.assertEqual(page_requests(control_log), ["http://192.0.2.1/x.png"])

    def test_reads_the_same_without_javascript(self):
        markup = parse(self.markup)
        self.assertNotIn("script", markup.tags)
        self.assertNotIn("noscript", markup.tags)
        self.assertEqual([a for a in markup.attributes if a.startswith("on")], [])
        self.assertIn("default-src 'none'", self.markup)   # no script could run
        self.assertEqual(parse(self.dom).words(), markup.words())

    def test_screenshot(self):
        shot = os.path.join(self.temp, "report.png")
        chromium(os.path.join(self.temp, "shot-profile"), ["--screenshot=" + shot, "--window-size=1280,1600"],
                 self.page)
        width, height, shades = png_size(shot)
        self.assertEqual((width, height), (1280, 1600))
        self.assertGreater(shades, 16, "a blank page")
        shutil.copy(shot, "report-screenshot.png")

    def test_memory_stays_small(self):
        # The 1 GB log streamed: the peak is the reader's, not the file's.
        self.assertLess(self.usage.ru_maxrss, 64 * 1024, "peak resident memory in KiB")

    def test_results_unchanged(self):
        self.assertEqual(snapshot(self.results), self.before)

    def test_root_run(self):
        # As root the unreadable inputs are read: no input error, some machine not clean.
        out = os.path.join(self.temp, "root-out")
        status, stdout, stderr, _ = run(self.program, ["--out", out, self.results])
        self.assertEqual(status, 1, stderr)
        rows = {r["host"]: r["status"] for r in read_hosts(os.path.join(out, "hosts.csv"))}
        self.assertEqual(rows["PC-UNREADABLE-LOG"], "clean")
        self.assertEqual(snapshot(self.results), self.before)


class ReportRefusals(unittest.TestCase):
    program = None

    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="report-test-")
        self.results = os.path.join(self.temp, "results")
        write(os.path.join(self.results, "PC-1", "PURGEKIT.LOG"), expected_text("clean-nt351/expected-log.txt"))

    def tearDown(self):
        shutil.rmtree(self.temp)

    def test_out_never_in_a_results_folder(self):
        os.symlink(self.results, os.path.join(self.temp, "link"))
        before = snapshot(self.results)
        for out in [self.results, self.results + "/", os.path.join(self.results, "report"),
                    os.path.join(self.results, "PC-1"), os.path.join(self.results, "new", "deeper"),
                    os.path.join(self.temp, "link", "report"), os.path.join(self.temp, "nowhere", "..", "results", "x")]:
            status, _, stderr, _ = run(self.program, ["-o", out, self.results])
            self.assertEqual(status, 2, out)
            self.assertIn(b"nothing is ever written into a results folder", stderr)
            self.assertEqual(snapshot(self.results), before, out)
        self.assertFalse(os.path.exists(os.path.join(self.temp, "nowhere")))
        # A second results folder counts as well.
        other = os.path.join(self.temp, "other")
        os.mkdir(other)
        status, _, _, _ = run(self.program, ["-o", os.path.join(other, "r"), self.results, other])
        self.assertEqual(status, 2)

    def test_two_results_folders_one_machine(self):
        # The unattended runs' results and the sweeps' results of the same machine: one row.
        sweeps = os.path.join(self.temp, "sweeps")
        write(os.path.join(sweeps, "PC-1", "sweep.jsonl"),
              b'{"type":"found","path":"/d/a.exe","size":1,"variants":["TROJ_VORN.A"],"action":"removed"}\n'
              b'{"type":"summary","scanned":1,"found":1,"errors":0}\n')
        write(os.path.join(sweeps, "fs-9", "sweep.jsonl"), b'{"type":"summary","scanned":1,"found":0,"errors":0}\n')
        out = os.path.join(self.temp, "out")
        status, _, stderr, _ = run(self.program, ["-o", out, self.results, sweeps])
        self.assertEqual(status, 0, stderr)
        rows = [(r["host"], r["status"], r["runs"], r["sweep_found"]) for r in read_hosts(os.path.join(out, "hosts.csv"))]
        self.assertEqual(rows, [("PC-1", "clean", "1", "1"), ("fs-9", "clean", "0", "0")])

    def test_usage_and_exit_codes(self):
        out = os.path.join(self.temp, "out")
        cases = [
            ([], 2), (["--bogus", self.results], 2), (["-o"], 2), (["-o", "", self.results], 2),
            (["--help"], 0), (["--version"], 0),
            (["-o", out, os.path.join(self.temp, "missing")], 2),
            (["-o", out, os.path.join(self.results, "PC-1", "PURGEKIT.LOG")], 2),
            (["-o", out, self.results], 0),
        ]
        for args, code in cases:
            status, stdout, stderr, _ = run(self.program, args)
            self.assertEqual(status, code, (args, stderr))
        status, stdout, _, _ = run(self.program, ["--version"])
        self.assertEqual(stdout, b"purgekit-report 2.00\n")
        empty = os.path.join(self.temp, "empty")
        os.mkdir(empty)
        status, stdout, _, _ = run(self.program, ["-o", out, empty])
        self.assertEqual(status, 0)
        self.assertIn(b"0 machines", stdout)
        self.assertEqual(read_hosts(os.path.join(out, "hosts.csv")), [])


def main():
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: test_report.py PURGEKIT_REPORT")
    need("chromium")
    ReportTree.program = ReportRefusals.program = os.path.abspath(sys.argv[1])
    unittest.main(argv=sys.argv[:1], verbosity=2)


if __name__ == "__main__":
    main()
