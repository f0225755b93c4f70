#!/usr/bin/env python3
"""report.html in a real browser (Debian's chromium, headless): the page's DOM holds the totals
and a row per machine, and a folder named "<script>..." as text; a screenshot is taken (kept as
report-screenshot.png in the working folder); Chromium's network log shows no request made by
the page (a control page that does load from outside shows its requests there); and the page
reads the same with JavaScript off: it has no script, no handler and nothing to load, and the
text of the DOM after the browser ran it is the text of its markup.

test_html.py PURGEKIT_REPORT
"""
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

from reportlib import expected_text, make_portable_tree, run_report, write

CHROMIUM = shutil.which("chromium")
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
    done = subprocess.run([CHROMIUM] + FLAGS + ["--user-data-dir=" + profile] + args + ["file://" + page],
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


class ReportInChromium(unittest.TestCase):
    program = None

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="report-html-")
        results = os.path.join(cls.temp, "results")
        cls.expected = make_portable_tree(results)
        clean = expected_text("clean-nt351/expected-log.txt")
        for name in (b"<script>alert(1)", b"caf\xe9-PC"):
            write(os.path.join(os.fsencode(results), name, b"PURGEKIT.LOG"), clean)
        cls.out = os.path.join(cls.temp, "out")
        status, _, stderr = run_report(cls.program, ["-o", cls.out, results])
        assert status == 1, stderr
        cls.page = os.path.join(cls.out, "report.html")
        with open(cls.page, encoding="utf-8") as f:
            cls.markup = f.read()
        cls.net_log = os.path.join(cls.temp, "net-log.json")
        cls.dom = chromium(os.path.join(cls.temp, "profile"),
                           ["--dump-dom", "--virtual-time-budget=3000", "--log-net-log=" + cls.net_log], cls.page)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp)

    def test_dom_holds_totals_and_machines(self):
        dom = parse(self.dom)
        words = dom.words()
        self.assertIn("PURGEKIT outbreak report", words)
        statuses = [status for status, _, _ in self.expected.values()] + ["clean", "clean"]
        for status in ("attention", "no-run", "second-run", "clean"):
            total = re.search(r'id="total-%s"><b>(\d+)</b>' % status, self.dom)
            self.assertIsNotNone(total, status)
            self.assertEqual(int(total.group(1)), statuses.count(status), status)
        rows = re.findall(r'<tr class="m-([a-z-]+)"><td class="name">(.*?)</td>', self.dom)
        self.assertEqual(len(rows), len(self.expected) + 2)
        names = {name for _, name in rows}
        for host in self.expected:
            self.assertIn(host, names)
        # The folder named "<script>...": text in a cell, and no script element anywhere.
        self.assertIn("&lt;script&gt;alert(1)", names)
        self.assertNotIn("script", dom.tags)
        self.assertIn("caf\\xE9-PC", words)
        self.assertEqual(dom.tags.count("svg"), 1)

    def test_nothing_loaded_from_outside(self):
        self.assertEqual(page_requests(self.net_log), [])
        # The markup names nothing to load, not even from this machine.
        for pattern in (r"<script", r"<link", r"<img", r"<iframe", r"<object", r"<embed", r"\bsrc\s*=",
                        r"\bhref\s*=", r"url\(", r"@import", r"https?:", r"file:"):
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


def main():
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: test_html.py PURGEKIT_REPORT")
    if CHROMIUM is None:
        sys.exit("chromium is not installed: run scripts/deps.sh chromium")
    ReportInChromium.program = os.path.abspath(sys.argv[1])
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ReportInChromium)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
