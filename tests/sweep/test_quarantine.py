#!/usr/bin/env python3
"""Quarantine and removal of found files: --move on one file system (a rename) and across file
systems (a copy), the manifest, names that never collide, execute bits dropped; --remove; and
the failures that must leave the original where it was: a quarantine folder that cannot be
written, a file that cannot be deleted.

test_quarantine.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import os
import re
import subprocess
import unittest

from sweeplib import (NAMES, TempTree, found_lines, json_found, main, make_pe, read_json_lines,
                      run, sha256, split_text, standin, write)

NAME_RE = re.compile(rb"\d{8}T\d{6}Z-\d+-\d+\.vir")
TIME_RE = re.compile(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ")
SHM = "/dev/shm"   # tmpfs: another file system than the one that holds /tmp


def other_file_system(a, b):
    return os.stat(a).st_dev != os.stat(b).st_dev


def manifest_path(path):
    """A path as the manifest writes it: tab, line feed, carriage return and "%" as %XX."""
    for byte in b"%\t\n\r":
        path = path.replace(bytes([byte]), b"%%%02X" % byte)
    return path


class Quarantine(unittest.TestCase):
    program = samples = None

    def setUp(self):
        self.trees = []

    def tearDown(self):
        for tree in self.trees:
            tree.__exit__()

    def temp(self, base=None):
        tree = TempTree(base)
        self.trees.append(tree)
        return tree

    def plant(self, root, owner=None):
        """Found files (executable, two of them identical), a clean one; returns
        {path bytes: (sha256, variants, inode, size)} of the found ones."""
        a, c, e = (standin(v, self.samples) for v in "ACE")
        files = [("a.exe", a, "A"), ("sub/a and e.bin", make_pe(("A", "E")), "AE"),
                 ("copy1/same.exe", c, "C"), ("copy2/same.exe", c, "C"), ("tab\tname.exe", e, "E"),
                 ("100%41 back\\slash.exe", a, "A"),
                 ("clean.txt", b"nothing\n", "")]
        found = {}
        for relative, data, variants in files:
            path = os.path.join(root, relative)
            write(path, data, mode=0o755)
            if owner is not None:
                os.chown(path, owner, owner)
                os.chown(os.path.dirname(path), owner, owner)
            if variants:
                info = os.stat(path)
                found[path.encode()] = (sha256(path), variants, info.st_ino, info.st_size)
        return found

    def check_moved(self, stdout, found, quarantine, same_fs, earlier=()):
        """Every found file moved whole under a new name, its moved line, its manifest line."""
        lines, counts = split_text(stdout)
        moved = {}
        for line in lines:
            match = re.fullmatch(rb"(.*): moved to " + re.escape(quarantine.encode()) + rb"/(.*)", line,
                                 re.S)
            if match:
                moved[match.group(1)] = match.group(2)
        self.assertEqual(sorted(moved), sorted(found))
        expected = found_lines((p, v[1]) for p, v in found.items()) + \
            [p + b": moved to " + quarantine.encode() + b"/" + moved[p] for p in found] + \
            [line for line in lines if line.endswith(b": OK")]
        self.assertEqual(sorted(lines), sorted(expected))
        self.assertEqual(counts, (len(found) + 1, len(found), 0))
        names = list(moved.values())
        self.assertEqual(len(set(names) | set(earlier)), len(names) + len(earlier), "names collide")
        for original, name in moved.items():
            self.assertRegex(name, NAME_RE)
            self.assertFalse(os.path.lexists(original), original)
            kept = os.path.join(quarantine.encode(), name)
            info = os.stat(kept)
            self.assertEqual(sha256(kept), found[original][0])
            self.assertEqual(info.st_mode & 0o111, 0, "execute bits kept: %o" % info.st_mode)
            if same_fs:
                self.assertEqual(info.st_ino, found[original][2], "copied, not renamed")
        with open(os.path.join(quarantine, "quarantine.tsv"), "rb") as f:
            manifest = f.read()
        self.assertTrue(manifest.endswith(b"\n"))
        rows = [line.split(b"\t") for line in manifest.split(b"\n")[:-1]]
        self.assertTrue(all(len(row) == 5 and TIME_RE.fullmatch(row[3]) for row in rows), manifest)
        recorded = {row[4]: row for row in rows}
        for original, name in moved.items():
            _, variants, _, size = found[original]
            self.assertEqual(recorded[name][:3], [manifest_path(original), str(size).encode(),
                                                  ",".join(NAMES[v] for v in variants).encode()])
        left = sorted(os.listdir(quarantine))
        self.assertEqual(left, sorted([b.decode() for b in names] + [n.decode() for n in earlier]
                                      + ["quarantine.tsv"]), "stray files in the quarantine")
        return names

    def test_move(self):
        rows = [("one file system: renamed", None, None), ("across file systems: copied", SHM, None)]
        for name, tree_base, quarantine_base in rows:
            with self.subTest(name):
                root = self.temp(tree_base).join("root")
                quarantine = os.path.join(self.temp(quarantine_base).join("new"), "quarantine")
                same_fs = tree_base == quarantine_base
                self.assertEqual(other_file_system(self.trees[-2].path, self.trees[-1].path),
                                 not same_fs, "the test's file systems are not as meant")
                found = self.plant(root)
                status, stdout, stderr = run(self.program, ["--move", quarantine, root])
                self.assertEqual((status, stderr), (1, b""))
                first = self.check_moved(stdout, found, quarantine, same_fs)
                # a second run with the same files: new names beside the old, manifest appended
                found = self.plant(root)
                status, stdout, stderr = run(self.program, ["-j", "1", "--move", quarantine, root])
                self.assertEqual((status, stderr), (1, b""))
                self.check_moved(stdout, found, quarantine, same_fs, earlier=first)

    def test_json_actions(self):
        for option, action in ((["--move"], "moved"), (["--remove"], "removed"),
                               (["--remove"], "failed")):
            with self.subTest(action):
                root = self.temp().join("root")
                found = self.plant(root)
                quarantine = self.trees[-1].join("q")
                folders = [os.path.dirname(p.decode()) for p in found]
                if action == "failed":   # the found files' folders immutable
                    subprocess.run(["chattr", "+i"] + folders, check=True)
                args = ["--json"] + option + ([quarantine] if action == "moved" else []) + [root]
                status, stdout, stderr = run(self.program, args)
                subprocess.run(["chattr", "-i"] + folders, check=True)
                objects, summary = read_json_lines(self, stdout)
                self.assertEqual((status, stderr), (1, b""))
                self.assertEqual(json_found(objects), {p: v[1] for p, v in found.items()})
                self.assertEqual((summary["scanned"], summary["found"], summary["errors"]),
                                 (len(found) + 1, len(found), len(found) if action == "failed" else 0))
                for o in objects:
                    self.assertEqual(o["action"], action)
                    self.assertEqual(os.path.lexists(o["path"]), action == "failed")
                    if action == "failed":
                        self.assertEqual(o["error"], "Operation not permitted")
                        self.assertEqual(sha256(o["path"]), found[o["path"]][0])
                    elif action == "moved":
                        self.assertEqual(sha256(os.path.join(quarantine, o["quarantine"])),
                                         found[o["path"]][0])
                    else:
                        self.assertNotIn("quarantine", o)

    def test_remove(self):
        root = self.temp().join("root")
        found = self.plant(root)
        status, stdout, stderr = run(self.program, ["-i", "--remove", root])
        lines, counts = split_text(stdout)
        self.assertEqual((status, stderr, counts), (1, b"", (len(found) + 1, len(found), 0)))
        self.assertEqual(sorted(lines), sorted(found_lines((p, v[1]) for p, v in found.items()) +
                                               [p + b": removed" for p in found]))
        self.assertEqual(sorted(os.listdir(root)), ["clean.txt", "copy1", "copy2", "sub"])

    def test_failures_keep_the_original(self):
        """Rows: (name, tree base, quarantine base, user, what is made unwritable (the
        quarantine folder, or the found files' folders), action, reason)."""
        nobody = 65534
        rows = [
            ("quarantine folder not writable by the user, one file system", None, None, "nobody",
             "quarantine", "--move", b"Permission denied"),
            ("quarantine folder not writable by the user, across file systems", SHM, None, "nobody",
             "quarantine", "--move", b"Permission denied"),
            ("quarantine folder not even searchable by the user", None, None, "nobody",
             "unsearchable", "--move", b"Permission denied"),
            ("quarantine folder immutable, one file system", None, None, None,
             "quarantine", "--move", b"Operation not permitted"),
            ("quarantine folder immutable, across file systems", SHM, None, None,
             "quarantine", "--move", b"Operation not permitted"),
            ("file in an immutable folder, --remove", None, None, None,
             "tree", "--remove", b"Operation not permitted"),
            ("file in an immutable folder, --move on one file system", None, None, None,
             "tree", "--move", b"Operation not permitted"),
            ("file in an immutable folder, --move across file systems", None, SHM, None,
             "tree", "--move", b"Operation not permitted"),
            ("file in a folder not writable by the user, --remove", None, None, "nobody",
             "tree", "--remove", b"Permission denied"),
        ]
        for name, tree_base, quarantine_base, user, locked, action, reason in rows:
            with self.subTest(name):
                tree = self.temp(tree_base)
                root = tree.join("root")
                found = self.plant(root, owner=nobody if locked != "tree" and user else None)
                quarantine = self.temp(quarantine_base).join("q")
                os.mkdir(quarantine, 0o700 if locked == "unsearchable" else 0o755)
                folders = [os.path.dirname(p.decode()) for p in found] if locked == "tree" else \
                    [quarantine]
                if user is None:
                    subprocess.run(["chattr", "+i"] + folders, check=True)
                args = ["-j", "2", action] + ([quarantine] if action == "--move" else []) + [root]
                status, stdout, stderr = run(self.program, args, user=user, timeout=30)
                lines, counts = split_text(stdout)
                self.assertEqual(status, 1, stderr)
                self.assertEqual(counts, (len(found) + 1, len(found), len(found)))
                self.assertEqual(sorted(line for line in lines if not line.endswith(b": OK")),
                                 sorted(found_lines((p, v[1]) for p, v in found.items())))
                self.assertEqual(sorted(stderr.splitlines()),
                                 sorted(p + b": ERROR: " + reason for p in found))
                for path, (digest, *_) in found.items():
                    self.assertEqual(sha256(path), digest)
                subprocess.run(["chattr", "-i"] + folders, check=True)
                for kept in os.listdir(quarantine):   # whatever stayed there is whole
                    if kept.endswith(".vir"):
                        self.assertIn(sha256(os.path.join(quarantine, kept)),
                                      [v[0] for v in found.values()])

    def test_quarantine_inside_the_swept_tree(self):
        """The quarantine folder is never walked: a second sweep of the same tree finds
        nothing, and moves nothing again."""
        root = self.temp().join("root")
        found = self.plant(root)
        quarantine = os.path.join(root, "quarantine")
        status, stdout, stderr = run(self.program, ["-q", "--move", quarantine, root])
        self.assertEqual((status, stderr, stdout.count(b": moved to ")), (1, b"", len(found)))
        kept = sorted(os.listdir(quarantine))
        status, stdout, stderr = run(self.program, ["-i", "--move", quarantine, root])
        self.assertEqual((status, stderr, split_text(stdout)), (0, b"", ([], (1, 0, 0))))
        self.assertEqual(sorted(os.listdir(quarantine)), kept)

    def test_quarantine_path_leaving_no_room_for_a_name(self):
        """A quarantine folder whose own path fits the system's limit but not with a name in
        it: each move fails at once, and says why."""
        root = self.temp().join("root")
        found = self.plant(root)
        quarantine = self.trees[-1].join("q")
        os.mkdir(quarantine)
        folder = os.open(quarantine, os.O_RDONLY)
        while len(quarantine) < 4080:   # made relative to each other: no call sees the whole
            part = "q" * min(250, 4080 - len(quarantine) - 1)
            os.mkdir(part, dir_fd=folder)
            inner = os.open(part, os.O_RDONLY, dir_fd=folder)
            os.close(folder)
            folder, quarantine = inner, quarantine + "/" + part
        os.close(folder)
        status, stdout, stderr = run(self.program, ["-i", "--move", quarantine, root], timeout=20)
        lines, counts = split_text(stdout)
        self.assertEqual((status, counts), (1, (len(found) + 1, len(found), len(found))))
        self.assertEqual(sorted(lines), sorted(found_lines((p, v[1]) for p, v in found.items())))
        self.assertEqual(sorted(stderr.splitlines()),
                         sorted(p + b": ERROR: File name too long" for p in found))
        for path, (digest, *_) in found.items():
            self.assertEqual(sha256(path), digest)


if __name__ == "__main__":
    main([Quarantine])
