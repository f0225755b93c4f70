#!/usr/bin/env python3
"""The sweep over a hostile tree: unreadable files and folders (swept as an unprivileged user,
since root reads everything), files that vanish or shrink while it runs, FIFOs, sockets and
device nodes, symbolic links and their loops, a very deep tree, names that are not UTF-8 or not
ASCII, another file system mounted below the swept folder, and an adversary who swaps a found
file or its folder for a link the moment the sweep has read it.

test_hostile.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import os
import random
import re
import resource
import socket
import subprocess
import threading
import unittest

from sweeplib import (OpenWatch, TempTree, json_found, main, read_json_lines, run, split_text,
                      standin, write)

DENIED = b"Permission denied"
NO_FILE = b"No such file or directory"
HERE = os.path.dirname(os.path.abspath(__file__))


def low_file_limit():
    """The usual per-process limit of open files, whatever the test runner has."""
    resource.setrlimit(resource.RLIMIT_NOFILE, (1024, 1024))


class HostileTree(unittest.TestCase):
    program = samples = None

    def setUp(self):
        self.tree = TempTree()
        self.root = self.tree.join("root")
        os.mkdir(self.root)

    def tearDown(self):
        self.tree.__exit__()

    def sweep(self, args, user=None, preexec=None, timeout=30):
        """Runs a text sweep; returns (exit code, sorted stdout lines, summary counts,
        sorted stderr lines)."""
        status, stdout, stderr = run(self.program, args, user=user, preexec=preexec, timeout=timeout)
        lines, counts = split_text(stdout)
        return status, sorted(lines), counts, sorted(stderr.splitlines())

    def path(self, *parts):
        return os.path.join(self.root, *parts).encode()

    def test_unreadable_files_and_folders(self):
        a, c, e = (standin(v, self.samples) for v in "ACE")
        write(os.path.join(self.root, "readable", "a.exe"), a)
        write(os.path.join(self.root, "readable", "clean.txt"), b"text\n")
        write(os.path.join(self.root, "locked-file.exe"), c, mode=0o000)
        for folder, mode in (("locked-folder", 0o000), ("enter-only", 0o111)):
            write(os.path.join(self.root, folder, "e.exe"), e)
            os.chmod(os.path.join(self.root, folder), mode)
        locked = [self.path(p) + b": ERROR: " + DENIED
                  for p in ("enter-only", "locked-file.exe", "locked-folder")]
        found = self.path("readable", "a.exe") + b": TROJ_VORN.A FOUND"
        clean = self.path("readable", "clean.txt") + b": OK"
        rows = [
            ("as root: everything is read", [self.root], None,
             (1, None, (5, 4, 0), [])),
            ("unprivileged: each unreadable path an error, the sweep goes on", [self.root], "nobody",
             (1, sorted([found, clean]), (2, 1, 3), locked)),
            ("unprivileged, the unreadable paths excluded: folders not even opened",
             ["--exclude", "locked-*", "--exclude", self.root + "/enter-only", self.root], "nobody",
             (1, sorted([found, clean]), (2, 1, 0), [])),
            ("unprivileged, nothing found: exit code 2",
             [os.path.join(self.root, p) for p in ("locked-file.exe", "locked-folder", "enter-only")]
             + [os.path.join(self.root, "readable", "clean.txt")], "nobody",
             (2, [clean], (1, 0, 3), locked)),
        ]
        for name, args, user, (code, lines, counts, errors) in rows:
            with self.subTest(name):
                status, out, summary, err = self.sweep(args, user=user)
                self.assertEqual((status, summary, err), (code, counts, errors))
                if lines is not None:
                    self.assertEqual(out, lines)
        with self.subTest("unprivileged JSON: errors as objects, stderr empty"):
            status, stdout, stderr = run(self.program, ["--json", self.root], user="nobody")
            objects, summary = read_json_lines(self, stdout)
            self.assertEqual((status, stderr, summary["errors"]), (1, b"", 3))
            self.assertEqual(sorted((o["path"], o["error"]) for o in objects if o["type"] == "error"),
                             [(self.path(p), "Permission denied")
                              for p in ("enter-only", "locked-file.exe", "locked-folder")])

    def test_files_vanishing_and_shrinking_during_the_sweep(self):
        a = standin("A", self.samples)
        count = 3000
        names = [os.path.join(self.root, "f%02d" % (n % 30), "%05d.exe" % n) for n in range(count)]
        for name in names:
            write(name, a)
        random.shuffle(names)
        deleted, shrunk = names[::2], names[1::2]

        def spoil():
            for gone, short in zip(deleted, shrunk):
                os.unlink(gone)
                os.truncate(short, 100)

        spoiler = threading.Thread(target=spoil)
        spoiler.start()
        status, stdout, stderr = run(self.program, ["--json", "-j", "2", self.root])
        spoiler.join()
        objects, summary = read_json_lines(self, stdout)
        errors = [o for o in objects if o["type"] == "error"]
        found = json_found(objects)
        self.assertEqual(stderr, b"")
        self.assertEqual(status, 1 if found else (2 if errors else 0))
        self.assertEqual((summary["found"], summary["errors"]), (len(found), len(errors)))
        self.assertLessEqual(summary["scanned"] + summary["errors"], count)
        self.assertTrue(all(o["error"] == "No such file or directory" for o in errors), errors)
        self.assertTrue(set(found) <= {n.encode() for n in names})
        self.assertTrue(all(v == "A" for v in found.values()))
        print("while the sweep ran: %d scanned, %d found, %d vanished"
              % (summary["scanned"], summary["found"], summary["errors"]))

    def test_fifos_sockets_and_device_nodes_are_never_opened(self):
        specials = os.path.join(self.root, "specials")
        write(os.path.join(specials, "a.exe"), standin("A", self.samples))
        os.mkfifo(os.path.join(specials, "fifo.exe"))
        os.mknod(os.path.join(specials, "zero.exe"), 0o666 | 0o020000, os.makedev(1, 5))
        os.mknod(os.path.join(specials, "loop.exe"), 0o600 | 0o060000, os.makedev(7, 0))
        bound = socket.socket(socket.AF_UNIX)
        bound.bind(os.path.join(specials, "socket.exe"))
        special_paths = [os.path.join(specials, n) for n in ("fifo.exe", "zero.exe", "loop.exe",
                                                             "socket.exe")]
        listed = ("\n".join(special_paths) + "\n").encode()
        found = [self.path("specials", "a.exe") + b": TROJ_VORN.A FOUND"]
        rows = [
            ("in a folder", [specials], None, (1, found, (1, 1, 0), {b"a.exe"})),
            ("named as paths", special_paths, None, (0, [], (0, 0, 0), set())),
            ("in a file list", ["-f", "-"], listed, (0, [], (0, 0, 0), set())),
        ]
        watch = OpenWatch(specials)
        try:
            for name, args, stdin, (code, lines, counts, opened) in rows:
                with self.subTest(name):
                    watch.opened()
                    status, stdout, stderr = run(self.program, ["-i"] + args, stdin=stdin, timeout=20)
                    out, summary = split_text(stdout)
                    self.assertEqual((status, out, summary, stderr), (code, lines, counts, b""))
                    self.assertEqual(watch.opened() - {b""}, opened)   # "": the folder itself
        finally:
            watch.close()
            bound.close()

    def test_symbolic_links_and_their_loops(self):
        links = os.path.join(self.root, "links")
        write(os.path.join(links, "real", "a.exe"), standin("A", self.samples))
        for name, target in (("to-file.exe", "real/a.exe"), ("to-folder", "real"), ("loop", "."),
                             ("real/up", ".."), ("dangling.exe", "nowhere")):
            os.symlink(target, os.path.join(links, name))
        os.symlink(links, os.path.join(self.root, "outside-link"))
        with self.subTest("links not followed: not counted, not errors"):
            status, lines, counts, errors = self.sweep(["-i", self.root])
            self.assertEqual((status, counts, errors), (1, (1, 1, 0), []))
            self.assertEqual(lines, [self.path("links", "real", "a.exe") + b": TROJ_VORN.A FOUND"])
        with self.subTest("--follow-symlinks: the linked files found, each loop left silently"):
            status, lines, counts, errors = self.sweep(
                ["-i", "--follow-symlinks", "--exclude", "dangling.exe", links], timeout=20)
            found = [os.path.join(links, p).encode() + b": TROJ_VORN.A FOUND"
                     for p in ("real/a.exe", "to-file.exe", "to-folder/a.exe")]
            self.assertEqual((status, lines, counts, errors), (1, sorted(found), (3, 3, 0), []))
        with self.subTest("--follow-symlinks: a dangling link is an error"):
            status, lines, counts, errors = self.sweep(
                ["--follow-symlinks", os.path.join(links, "dangling.exe")])
            self.assertEqual((status, lines, counts, errors),
                             (2, [], (0, 0, 1), [self.path("links", "dangling.exe") +
                                                 b": ERROR: " + NO_FILE]))

    def make_deep(self, name, levels, files):
        """`levels` nested folders called `name`, built relative to each other (the full path
        can exceed what one system call takes); `files` maps a depth to (file name, bytes).
        Returns the full paths of the files."""
        made, folder = [], os.open(self.root, os.O_RDONLY)
        for depth in range(levels + 1):
            if depth in files:
                file_name, data = files[depth]
                handle = os.open(file_name, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=folder)
                os.write(handle, data)
                os.close(handle)
                made.append(self.root + ("/" + name) * depth + "/" + file_name)
            if depth < levels:
                os.mkdir(name, dir_fd=folder)
                inner = os.open(name, os.O_RDONLY, dir_fd=folder)
                os.close(folder)
                folder = inner
        os.close(folder)
        return made

    def test_very_deep_trees(self):
        e = standin("E", self.samples)
        with self.subTest("2,000 levels, within the longest path Linux takes, 1,024 open files"):
            made = self.make_deep("d", 2000, {0: ("top.exe", e), 999: ("mid.txt", b"text"),
                                              2000: ("bottom.exe", e)})
            status, lines, counts, errors = self.sweep(["-j", "2", self.root],
                                                       preexec=low_file_limit, timeout=30)
            self.assertEqual((status, counts, errors), (1, (3, 2, 0), []))
            self.assertEqual(lines, sorted([made[0].encode() + b": TROJ_VORN.E FOUND",
                                            made[1].encode() + b": OK",
                                            made[2].encode() + b": TROJ_VORN.E FOUND"]))
        with self.subTest("1,500 levels of long names: paths beyond the longest Linux takes"):
            os.rename(os.path.join(self.root, "d"), os.path.join(self.root, "gone"))
            made = self.make_deep("dddddddddd", 1500, {1500: ("bottom.exe", e)})
            status, stdout, stderr = run(self.program, ["-i", os.path.join(self.root, "dddddddddd")],
                                         preexec=low_file_limit, timeout=30)
            lines, counts = split_text(stdout)
            if counts[1] == 1:   # walked relative to each folder: found under its full path
                self.assertEqual((status, lines, counts, stderr),
                                 (1, [made[0].encode() + b": TROJ_VORN.E FOUND"], (1, 1, 0), b""))
            else:                # or the walk stops where a path is too long, and says so
                self.assertEqual((status, lines, counts[:2]), (2, [], (0, 0)))
                self.assertGreaterEqual(counts[2], 1)
                self.assertTrue(all(re.fullmatch(rb"/.*: ERROR: File name too long", line)
                                    for line in stderr.splitlines()), stderr[-300:])

    def test_names_not_utf8_or_not_ascii(self):
        a, c, e = (standin(v, self.samples) for v in "ACE")
        names = [
            (b"bad-\xff\xfe.exe", a, "A"),
            (b"caf\xc3\xa9-\xe6\x97\xa5\xe6\x9c\xac.exe", c, "C"),
            (b"\xe9t\xe9/latin-1-folder-\x80.exe", e, "E"),
            (b"tab\there.exe", a, "A"),
            (b"control-\x01\x1f\x7f.exe", c, "C"),
            (b"quote\"back\\slash.exe", e, "E"),
            (b"line\nbreak.exe", a, "A"),
            (b"carriage\rreturn.exe", c, "C"),
            (b"utf8-surrogate-\xed\xa0\x80.exe", c, "C"),
            (b"overlong-\xc0\xaf.exe", e, "E"),
            (b"cut-\xe6\x97.exe", a, "A"),
            (b"four-bytes-\xf0\x9f\x98\x80.exe", b"clean", ""),
        ]
        root = self.root.encode()
        for name, data, _ in names:
            write(os.path.join(root, name), data)
        expected = {root + b"/" + name: v for name, _, v in names if v}
        with self.subTest("text: the bytes as they are"):
            status, stdout, stderr = run(self.program, [root])
            self.assertEqual((status, stderr), (1, b""))
            for path, variant in expected.items():
                self.assertIn(b"\n" + path + b": TROJ_VORN." + variant.encode() + b" FOUND\n",
                              b"\n" + stdout)
            self.assertIn(b"\n" + root + b"/four-bytes-\xf0\x9f\x98\x80.exe: OK\n", b"\n" + stdout)
            self.assertEqual(split_text(stdout)[1], (12, 11, 0))
        with self.subTest("JSON: valid UTF-8 on every line, the bytes come back"):
            status, stdout, stderr = run(self.program, ["--json", root])
            objects, summary = read_json_lines(self, stdout)
            self.assertEqual((status, stderr, json_found(objects)), (1, b"", expected))
            self.assertIn(b"caf\xc3\xa9-\xe6\x97\xa5\xe6\x9c\xac.exe", stdout)   # UTF-8 kept
            for escape in (rb"bad-\udcff\udcfe.exe", rb"tab\there.exe", rb"line\nbreak.exe",
                           rb"carriage\rreturn.exe",
                           rb"control-\u0001\u001f", rb"quote\"back\\slash.exe",
                           rb"\udced\udca0\udc80.exe", rb"\udcc0\udcaf.exe", rb"cut-\udce6\udc97.exe"):
                self.assertIn(escape.lower(), stdout.lower())

    def test_other_file_systems_below_the_folder(self):
        write(os.path.join(self.root, "local.exe"), standin("A", self.samples))
        mounted = os.path.join(self.root, "mounted")
        if not self.tree.mount_tmpfs(mounted):
            self.skipTest("cannot mount a tmpfs here (needs root with CAP_SYS_ADMIN)")
        write(os.path.join(mounted, "inner", "c.exe"), standin("C", self.samples))
        both = sorted([self.path("local.exe") + b": TROJ_VORN.A FOUND",
                       self.path("mounted", "inner", "c.exe") + b": TROJ_VORN.C FOUND"])
        rows = [
            ("crossed by default", [self.root], both, (2, 2, 0)),
            ("--one-file-system: not entered", ["--one-file-system", self.root], both[:1], (1, 1, 0)),
            ("--one-file-system from the mounted folder itself", ["--one-file-system", mounted],
             both[1:], (1, 1, 0)),
        ]
        for name, args, lines, counts in rows:
            with self.subTest(name):
                self.assertEqual(self.sweep(["-i"] + args), (1, lines, counts, []))

    def test_adversary_who_wins_every_race(self):
        """The moment the scan closes a found file, the adversary swaps it for a link to a
        victim or for a new file, or swaps its folder for a link to a folder holding an
        innocent file of the same name. Whatever the action, the sweep acts on nothing:
        the victims are neither deleted, moved nor changed, nothing enters the quarantine,
        and the file is reported as changed since it was scanned."""
        hook = self.tree.join("close_hook.so")
        subprocess.run(["cc", "-shared", "-fPIC", "-o", hook, os.path.join(HERE, "close_hook.c"), "-ldl"],
                       check=True)
        swaps = {"the file, for a link to a victim": 'rm "$F" && ln -s "$V/worm.exe" "$F"',
                 "the file, for a new file": 'rm "$F" && echo innocent > "$F"',
                 "its folder, for a link to a victim folder":
                 'mv "${F%/*}" "${F%/*}.away" && ln -s "$V" "${F%/*}"'}
        for action in ("--remove", "--move same", "--move across"):
            for swap, command in swaps.items():
                with self.subTest(action=action, swap=swap):
                    run_tree = TempTree("/dev/shm" if action == "--move across" else None)
                    self.addCleanup(run_tree.__exit__)
                    found = run_tree.join("tree", "dir", "worm.exe")
                    victim = run_tree.join("victims", "worm.exe")
                    write(found, standin("A", self.samples))
                    write(victim, b"innocent victim\n")
                    before = os.stat(victim)
                    quarantine = run_tree.join("q") if action == "--move same" else self.tree.join(swap)
                    args = ["--json", "-j", "1"] + (["--move", quarantine] if "move" in action
                                                    else ["--remove"])
                    env = dict(os.environ, LD_PRELOAD=hook, RACE_FILE=found, RACE_SWAP=command,
                               F=found, V=os.path.dirname(victim))
                    done = subprocess.run([self.program] + args + [run_tree.join("tree")], env=env,
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
                    objects, summary = read_json_lines(self, done.stdout)
                    self.assertEqual((done.returncode, done.stderr, summary["errors"]), (1, b"", 1))
                    self.assertEqual([(o["action"], o["error"]) for o in objects],
                                     [("failed", "changed since it was scanned")])
                    after = os.stat(victim)
                    with open(victim, "rb") as f:
                        self.assertEqual((after.st_ino, after.st_mtime_ns, after.st_mode, f.read()),
                                         (before.st_ino, before.st_mtime_ns, before.st_mode,
                                          b"innocent victim\n"))
                    if swap == "the file, for a new file":
                        self.assertEqual(open(found, "rb").read(), b"innocent\n")
                    self.assertEqual(sorted(os.listdir(os.path.dirname(found))), ["worm.exe"])
                    if "move" in action:   # nothing kept, no manifest line
                        self.assertEqual(os.listdir(quarantine), [])


if __name__ == "__main__":
    main([HostileTree])
