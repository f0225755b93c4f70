#!/usr/bin/env python3
"""The sweep over a planted tree: the stand-ins under other names and folders, files carrying
several sets, and decoys (near misses, non-PE, truncated, empty files). Each row of the table
runs the program once and compares its found lines, OK lines, error lines, summary counts and
exit code (or its JSON objects) with what the tree holds.

test_output.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import os
import pty
import select
import subprocess
import time
import unittest

from sweeplib import (TempTree, check_grouped, found_lines, json_found, main, make_pe,
                      read_json_lines, run, set_end, split_text, standin, with_section, write)

NO_FILE = b"No such file or directory"


def planted_files(samples):
    """(relative path, bytes, variants found in it)."""
    a, c, e = (standin(v, samples) for v in "ACE")
    return [
        ("bin/tool.exe", a, "A"),
        ("deep/x/y/z/svchost.exe", c, "C"),
        ("Windows/System32/notepad.dat", e, "E"),
        ("multi/two sets.bin", make_pe(("A", "E")), "AE"),
        ("multi/all.exe", make_pe(("A", "C", "E")), "ACE"),
        ("edge/e-ends-at-file-end.exe", make_pe(("E",), size=set_end("E")), "E"),
        ("edge/a-behind-a-long-file", make_pe(("A",), tail=bytes(300000)), "A"),
        ("decoys/a-second-pattern-differs.exe", make_pe(("A",), flip=("A", 1)), ""),
        ("decoys/a-first-pattern-differs.exe", make_pe(("A",), flip=("A", 0)), ""),
        ("decoys/c-no-mz.exe", make_pe(("C",), mz=b"ZM"), ""),
        ("decoys/c-relocation-offset-3f.exe", make_pe(("C",), lfarlc=0x3F), ""),
        ("decoys/e-no-pe-signature.exe", make_pe(("E",), signature=b"PE\0\1"), ""),
        ("decoys/e-one-byte-short.exe", make_pe(("E",), size=set_end("E") - 1), ""),
        ("decoys/c-entry-past-end.exe",
         with_section(make_pe(("C",)), 0x1000, 0x1000, 0x100000, 0x1000), ""),
        ("decoys/a-cut-short.exe", a[:15000], ""),
        ("decoys/headers-only.exe", make_pe(()), ""),
        ("decoys/59-bytes.exe", b"MZ" + bytes(57), ""),
        ("decoys/empty", b"", ""),
        ("decoys/readme.txt", b"TROJ_VORN.A FOUND\nnothing to see\n", ""),
        ("decoys/big-clean.bin", bytes(range(256)) * 8192, ""),
    ]


class PlantedTree(unittest.TestCase):
    program = samples = None

    @classmethod
    def setUpClass(cls):
        cls.tree = TempTree()
        cls.root = cls.tree.join("root")
        cls.files = {}
        for relative, data, variants in planted_files(cls.samples):
            write(os.path.join(cls.root, relative), data)
            cls.files[relative] = variants
        cls.list_file = cls.tree.join("list.txt")
        # CR LF, empty lines, a folder, no final line break
        with open(cls.list_file, "wb") as f:
            f.write(cls.listed())

    @classmethod
    def tearDownClass(cls):
        cls.tree.__exit__()

    @classmethod
    def listed(cls):
        return ("\n%s/bin/tool.exe\r\n\r\n\n%s/decoys/empty\n%s/multi\r\n%s/decoys/readme.txt"
                % ((cls.root,) * 4)).encode()

    def under(self, *folders):
        return [r for r in self.files if any(r == f or r.startswith(f + "/") for f in folders)]

    def check(self, args, selected, mode="text", errors=(), code=None, stdin=None):
        """Runs the program and compares everything it printed with the selected files;
        `errors`: paths (relative) that do not exist."""
        full = lambda relative: os.path.join(self.root, relative).encode()
        found = {full(r): self.files[r] for r in selected if self.files[r]}
        clean = [full(r) for r in selected if not self.files[r]]
        errors = [(os.path.join(self.root, e).encode(), NO_FILE) for e in errors]
        if code is None:
            code = 1 if found else (2 if errors else 0)
        status, stdout, stderr = run(self.program, args, stdin=stdin)
        self.assertEqual(status, code, stderr)
        if mode == "json":
            objects, summary = read_json_lines(self, stdout)
            self.assertEqual(json_found(objects), found)
            sizes = {o["path"]: o["size"] for o in objects if o["type"] == "found"}
            self.assertEqual(sizes, {p: os.path.getsize(p) for p in found})
            self.assertEqual(sorted((o["path"], o["error"].encode()) for o in objects
                                    if o["type"] == "error"), sorted(errors))
            self.assertEqual(len(objects), len(found) + len(errors))
            self.assertEqual((summary["scanned"], summary["found"], summary["errors"]),
                             (len(selected), len(found), len(errors)))
            self.assertEqual(stderr, b"")
            return
        lines, counts = split_text(stdout)
        expected = found_lines(found.items())
        if mode == "text":
            expected += [path + b": OK" for path in clean]
        self.assertEqual(sorted(lines), sorted(expected))
        check_grouped(self, lines)
        self.assertEqual(counts, None if mode == "quiet" else (len(selected), len(found), len(errors)))
        self.assertEqual(sorted(stderr.splitlines()),
                         sorted(path + b": ERROR: " + reason for path, reason in errors))

    def test_planted_tree(self):
        everything = list(self.files)
        not_exe = [r for r in everything if not r.endswith(".exe")]
        listed = ["bin/tool.exe", "decoys/empty", "decoys/readme.txt"] + self.under("multi")
        root, missing = self.root, os.path.join(self.root, "missing")
        rows = [
            ("plain", [root], everything, "text"),
            ("-i: found lines only", ["-i", root], everything, "infected"),
            ("--infected", ["--infected", root], everything, "infected"),
            ("-q: no OK lines, no summary", ["-q", root], everything, "quiet"),
            ("--quiet with --json", ["--quiet", "--json", root], everything, "json-quiet"),
            ("--json", ["--json", root], everything, "json"),
            ("-j 1", ["-j", "1", root], everything, "text"),
            ("--threads 2", ["--threads", "2", root], everything, "text"),
            ("-j 8, more threads than files in some folders", ["-j", "8", root], everything, "text"),
            ("--exclude a base-name glob", ["--exclude", "*.exe", root], not_exe, "text"),
            ("--exclude a folder by full path", ["--exclude", root + "/deep", root],
             [r for r in everything if not r.startswith("deep/")], "text"),
            ("--exclude twice, folders by base name",
             ["--exclude", "decoys", "--exclude", "mult?", root],
             [r for r in everything if r.split("/")[0] not in ("decoys", "multi")], "text"),
            ("--exclude a bracket class: both of its bounds", ["--exclude", "[a-c]*", root],
             [r for r in everything if all(part[0] not in "abc" for part in r.split("/"))], "text"),
            ("a clean folder", [root + "/decoys"], self.under("decoys"), "text"),
            ("files and folders as paths", [root + "/bin/tool.exe", root + "/edge"],
             ["bin/tool.exe"] + self.under("edge"), "text"),
            ("a missing path beside a found file", [root + "/bin/tool.exe", missing],
             ["bin/tool.exe"], "text", ["missing"]),
            ("a missing path beside clean files", [root + "/decoys", missing],
             self.under("decoys"), "text", ["missing"]),
            ("a missing path in JSON", ["--json", root + "/decoys", missing],
             self.under("decoys"), "json", ["missing"]),
            ("-f FILE: CR LF, empty lines, no final line break", ["-f", self.list_file],
             listed, "text"),
            ("--file-list FILE and a path", ["--file-list", self.list_file, root + "/edge"],
             listed + self.under("edge"), "text"),
        ]
        for name, args, selected, mode, *errors in rows:
            with self.subTest(name):
                errors = errors[0] if errors else ()
                if mode == "json-quiet":   # -q keeps found objects, drops the summary
                    status, stdout, _ = run(self.program, args)
                    self.assertEqual(status, 1)
                    lines = stdout.splitlines()
                    self.assertEqual(len(lines), sum(1 for r in selected if self.files[r]))
                    self.assertTrue(all(b'"type":"found"' in line for line in lines), stdout)
                    continue
                self.check(args, selected, mode, errors)

    def test_file_list_on_standard_input(self):
        listed = ["bin/tool.exe", "decoys/empty", "decoys/readme.txt"] + self.under("multi")
        for name, args, mode in (("text", ["-f", "-"], "text"),
                                 ("JSON", ["--json", "--file-list", "-"], "json")):
            with self.subTest(name):
                self.check(args, listed, mode, stdin=self.listed())
        with self.subTest("a list naming a missing file"):
            self.check(["-f", "-"], ["bin/tool.exe"], "text", ["missing"],
                       stdin=("%s/missing\n%s/bin/tool.exe\n" % (self.root, self.root)).encode())
        with self.subTest("an empty list"):
            self.check(["-f", "-"], [], "text", stdin=b"")
        for name, listed, reason in (("a list that does not exist", "missing", b"No such file or directory"),
                                     ("a list that is a folder", "edge", b"Is a directory")):
            with self.subTest(name):
                path = os.path.join(self.root, listed).encode()
                self.assertEqual(run(self.program, ["-q", "-f", path]),
                                 (2, b"", path + b": ERROR: " + reason + b"\n"))

    def test_progress_on_a_terminal(self):
        """With stderr on a terminal, a progress line a few times a second, cleared at the end,
        terminal controls in folder names shown as "?"; never on stdout; none with -q. A list
        on a pipe left open makes the sweep last past its first refreshes."""
        folder = os.path.join(self.root, "evil\x1b]0;title\x07")
        write(os.path.join(folder, "a.exe"), make_pe(("A",)))
        rows = [("a progress line", ["-i"], True), ("-q: none", ["-q"], False)]
        for name, args, shown in rows:
            with self.subTest(name):
                main_side, terminal = pty.openpty()
                child = subprocess.Popen([self.program, "-j", "1", folder, "-f", "-"] + args,
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=terminal)
                os.close(terminal)
                time.sleep(0.8)   # the folder swept, the sweep waits for the list
                child.stdin.close()
                stdout = child.stdout.read()
                self.assertEqual(child.wait(timeout=10), 1)
                shown_text = b""
                while select.select([main_side], [], [], 0.2)[0]:
                    try:
                        chunk = os.read(main_side, 4096)
                    except OSError:   # the terminal's other side is closed
                        break
                    if not chunk:
                        break
                    shown_text += chunk
                os.close(main_side)
                self.assertIn(folder.encode() + b"/a.exe: TROJ_VORN.A FOUND\n", stdout)
                self.assertNotIn(b"Scanned:", stdout)
                if not shown:
                    self.assertEqual(shown_text, b"")
                    continue
                self.assertIn(b"Scanned: 1  Found: 1  Files/s: ", shown_text)
                self.assertIn(b"evil?]0;title?", shown_text)
                self.assertEqual(shown_text.replace(b"\r\x1b[K", b"").count(b"\x1b"), 0, shown_text)
                self.assertTrue(shown_text.endswith(b"\r\x1b[K"), shown_text[-40:])
        os.unlink(os.path.join(folder, "a.exe"))
        os.rmdir(folder)

    def test_usage(self):
        status, help_text, stderr = run(self.program, ["--help"])
        self.assertEqual((status, stderr), (0, b""))
        for option in (b"-f", b"--file-list", b"-j", b"--threads", b"-i", b"--infected", b"--json",
                       b"-q", b"--quiet", b"--exclude", b"--follow-symlinks", b"--one-file-system",
                       b"--move", b"--remove", b"--help", b"--version"):
            self.assertIn(option, help_text)
        self.assertEqual(run(self.program, ["--version"]), (0, b"purgekit-scan 2.00\n", b""))
        usage_line = help_text.splitlines()[0]
        rows = [
            ("no path and no list", []),
            ("--move and --remove together", ["--move", self.tree.join("q"), "--remove", self.root]),
            ("an unknown option", ["--bogus", self.root]),
            ("an unknown short option", ["-z", self.root]),
            ("-j without its number", [self.root, "-j"]),
            ("-j not a number", ["-j", "two", self.root]),
            ("-j 0", ["-j", "0", self.root]),
            ("-f without its file", ["-f"]),
            ("--exclude without its glob", [self.root, "--exclude"]),
            ("--move without its folder", [self.root, "--move"]),
            ("options only", ["-i", "--json"]),
        ]
        for name, args in rows:
            with self.subTest(name):
                status, stdout, stderr = run(self.program, args)
                self.assertEqual((status, stdout), (2, b""), stderr)
                self.assertIn(usage_line, stderr)
        self.assertFalse(os.path.exists(self.tree.join("q")), "a usage error created the quarantine")


if __name__ == "__main__":
    main([PlantedTree])
