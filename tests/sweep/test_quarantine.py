#!/usr/bin/env python3
"""Quarantine and removal of found files: --move on one file system (a rename), across file
systems or two mounts of one (a copy), the manifest, names that never collide, execute bits
dropped; --remove; links followed; the failures that must leave the original where it was; a
quarantine folder others could use, refused; a move's steps under strace, a copy cut short,
links planted at the names a move uses, and what killed runs of any host left.

test_quarantine.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import os
import re
import stat
import subprocess
import time
import unittest

from sweeplib import (NAMES, TempTree, found_lines, host_label, json_found, main, make_pe,
                      manifest_name, need, read_json_lines, run, sha256, split_text, standin,
                      work_prefix, write)

NAME_RE = re.compile(rb"\d{8}T\d{6}Z-" + re.escape(host_label().encode()) + rb"-\d+-\d{6,}\.vir")
MANIFEST = manifest_name()
TIME_RE = re.compile(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ")
SHM = "/dev/shm"   # tmpfs: another file system than the one that holds /tmp


def other_file_system(a, b):
    return os.stat(a).st_dev != os.stat(b).st_dev


def manifest_path(path):
    """A path as the manifest writes it: tab, line feed, carriage return and "%" as %XX."""
    for byte in b"%\t\n\r":
        path = path.replace(bytes([byte]), b"%%%02X" % byte)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def manifest_rows(quarantine):
    """This host's manifest as rows of fields ([] when there is none)."""
    path = os.path.join(quarantine, MANIFEST)
    manifest = read(path) if os.path.exists(path) else b""
    assert manifest.endswith(b"\n") or manifest == b"", "the manifest's last line is cut"
    return [line.split(b"\t") for line in manifest.split(b"\n")[:-1]]


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

    def check_whole(self, quarantine):
        """The manifest never lies: every line names a file there, every file there has its
        line, and no work file stays."""
        names = sorted(os.listdir(quarantine)) if os.path.isdir(quarantine) else []
        self.assertEqual([n for n in names if n.startswith(".")], [], "work files stay")
        self.assertEqual(sorted(row[4].decode() for row in manifest_rows(quarantine)),
                         [n for n in names if n.endswith(".vir")])

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
        rows = manifest_rows(quarantine)
        self.assertTrue(all(len(row) == 6 and TIME_RE.fullmatch(row[3]) for row in rows), rows)
        recorded = {row[4]: row for row in rows}
        for original, name in moved.items():
            _, variants, _, size = found[original]
            self.assertEqual(recorded[name][:3] + recorded[name][5:],
                             [manifest_path(original), str(size).encode(),
                              ",".join(NAMES[v] for v in variants).encode(), b""])
        left = sorted(os.listdir(quarantine))
        self.assertEqual(left, sorted([b.decode() for b in names] + [n.decode() for n in earlier]
                                      + [MANIFEST]), "stray files in the quarantine")
        self.check_whole(quarantine)
        return names

    def test_move(self):
        rows = [("one file system: renamed", None, None, False),
                ("across file systems: copied", SHM, None, False),
                ("two mounts of one file system (rename says EXDEV): copied", None, None, True)]
        for name, tree_base, quarantine_base, bind in rows:
            with self.subTest(name):
                tree = self.temp(tree_base)
                root = tree.join("root")
                quarantine = os.path.join(self.temp(quarantine_base).join("new"), "quarantine")
                same_fs = tree_base == quarantine_base and not bind
                self.assertEqual(other_file_system(self.trees[-2].path, self.trees[-1].path),
                                 tree_base != quarantine_base, "the file systems are not as meant")
                if bind:
                    os.mkdir(root)
                    self.assertTrue(tree.mount_bind(root, tree.join("mounted")), "mount --bind failed")
                    root = tree.join("mounted")
                found = self.plant(root)
                status, stdout, stderr = run(self.program, ["--move", quarantine, root])
                self.assertEqual((status, stderr), (1, b""))
                first = self.check_moved(stdout, found, quarantine, same_fs)
                for made in (quarantine, os.path.dirname(quarantine)):   # missing: made private
                    self.assertEqual(stat.S_IMODE(os.stat(made).st_mode), 0o700, made)
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
        quarantine folder, its manifest, or the found files' folders), action, reason)."""
        nobody = 65534
        rows = [
            ("quarantine folder not writable by the user, its owner, one file system", None, None,
             "nobody", "quarantine", "--move", b"Permission denied"),
            ("quarantine folder not writable by the user, its owner, across file systems", SHM, None,
             "nobody", "quarantine", "--move", b"Permission denied"),
            ("quarantine folder immutable, one file system", None, None, None,
             "quarantine", "--move", b"Operation not permitted"),
            ("quarantine folder immutable, across file systems", SHM, None, None,
             "quarantine", "--move", b"Operation not permitted"),
            ("manifest immutable, one file system: the renamed file goes back", None, None, None,
             "manifest", "--move", b"Operation not permitted"),
            ("manifest immutable, across file systems: the copy goes", SHM, None, None,
             "manifest", "--move", b"Operation not permitted"),
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
                os.mkdir(quarantine, 0o755)
                if user is not None and locked == "quarantine":   # the user's own, read-only
                    os.chown(quarantine, nobody, nobody)
                    os.chmod(quarantine, 0o500)
                write(os.path.join(quarantine, MANIFEST), b"")
                folders = [os.path.dirname(p.decode()) for p in found] if locked == "tree" else \
                    [os.path.join(quarantine, MANIFEST)] if locked == "manifest" else [quarantine]
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
                self.assertEqual(os.listdir(quarantine), [MANIFEST], "kept in the quarantine")
                self.assertEqual(manifest_rows(quarantine), [])

    def test_unsafe_quarantine_is_refused(self):
        """A quarantine folder that others could use against the sweep is refused before
        anything is scanned: exit 2, one line on stderr (with --json too), nothing moved."""
        nobody = 65534
        others, owner = b"writable by group or others", b"not owned by the user running the sweep"
        rows = [("writable by its group", 0o770, 0, None, others),
                ("writable by everyone, sticky like /tmp", 0o1777, 0, None, others),
                ("owned by another user", 0o700, nobody, None, owner),
                ("not the sweep's user's own", 0o755, 0, "nobody", owner),
                ("a file, not a folder", None, 0, None, b"Not a directory")]
        for name, mode, owner, user, reason in rows:
            with self.subTest(name):
                root = self.temp().join("root")
                found = self.plant(root, owner=nobody if user else None)
                quarantine = self.trees[-1].join("q")
                if mode is None:
                    write(quarantine, b"a file")
                else:
                    os.mkdir(quarantine)
                    os.chmod(quarantine, mode)
                    os.chown(quarantine, owner, owner)
                refused = quarantine.encode() + b": ERROR: quarantine folder refused: " + reason
                for args in (["--move", quarantine, root], ["--json", "--move", quarantine, root]):
                    self.assertEqual(run(self.program, args, user=user), (2, b"", refused + b"\n"))
                for path, (digest, *_) in found.items():
                    self.assertEqual(sha256(path), digest)
                self.assertTrue(mode is None or os.listdir(quarantine) == [])

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
        it: every file there is reached relative to the folder, so the moves succeed."""
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
        status, stdout, stderr = run(self.program, ["-i", "--move", quarantine, root], timeout=20)
        lines, counts = split_text(stdout)
        self.assertEqual((status, stderr, counts), (1, b"", (len(found) + 1, len(found), 0)))
        kept = sorted(line.rsplit(b"/", 1)[1].decode() for line in lines if b": moved to " in line)
        self.assertEqual(len(kept), len(found))
        self.assertEqual(sorted(os.listdir(folder)), sorted(kept + [MANIFEST]))
        digests = sorted(sha256("/proc/self/fd/%d/%s" % (folder, name)) for name in kept)
        os.close(folder)
        self.assertEqual(digests, sorted(v[0] for v in found.values()))
        self.assertFalse(any(os.path.lexists(path) for path in found))

    def test_links_followed(self):
        """A found file reached through a link (found with --follow-symlinks, or named as a
        path) is acted on as the file scanned: the linked file is moved or removed, the link
        stays, and the manifest gives the link's path and the file's own."""
        for args, given in ((["--follow-symlinks", "--move"], "root"),
                            (["--follow-symlinks", "--remove"], "root"), (["--move"], "the link")):
            with self.subTest(args=args, given=given):
                tree = self.temp()
                target, link = tree.join("outside", "worm.exe"), tree.join("root", "link.exe")
                quarantine = tree.join("q")
                write(target, standin("A", self.samples))
                digest = sha256(target)
                os.makedirs(os.path.dirname(link))
                os.symlink(target, link)
                args = ["-i"] + args + ([quarantine] if "--move" in args else [])
                given = link if given == "the link" else tree.join(given)
                status, stdout, stderr = run(self.program, args + [given])
                self.assertEqual((status, stderr, split_text(stdout)[0][0]),
                                 (1, b"", link.encode() + b": TROJ_VORN.A FOUND"))
                self.assertTrue(os.path.islink(link) and not os.path.lexists(target))
                if "--move" in args:
                    (row,) = manifest_rows(quarantine)
                    self.assertEqual((row[0], row[5]), (link.encode(), target.encode()))
                    self.assertEqual(sha256(os.path.join(quarantine, row[4].decode())), digest)

    def test_links_planted_at_the_names_a_move_uses(self):
        """Links to a victim planted (by someone as privileged as the sweep) at the names a
        move is about to use: its quarantine names and temporary copies, the private names
        beside a file being removed, the manifest. Nothing is written or deleted through a
        link: taken names are passed over, and a linked manifest fails the move."""
        rows = [("quarantine and temporary names", SHM, "--move", ".tmp", None),
                ("private names beside the file removed", None, "--remove", ".del", None),
                ("the manifest", SHM, "--move", None, b"Too many levels of symbolic links")]
        for name, tree_base, action, work, reason in rows:
            with self.subTest(name):
                path = self.temp(tree_base).join("root", "a.exe")
                write(path, standin("A", self.samples))
                digest = sha256(path)
                quarantine, victim = self.temp().join("q"), self.trees[-1].join("victim")
                os.mkdir(quarantine, 0o700)
                write(victim, b"the victim\n")
                # The sweep's pid known before it starts: planted, then it goes.
                child = subprocess.Popen(["sh", "-c", 'read go; exec "$0" "$@"', self.program, "-i",
                                          action] + ([quarantine] if action == "--move" else []) + [path],
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE)
                folder = quarantine if work == ".tmp" else os.path.dirname(path)
                links = [os.path.join(quarantine, MANIFEST)] if reason else [
                    os.path.join(folder, work_prefix(child.pid) + "%d%s" % (n, work))
                    for n in range(1, 150)]
                now = int(time.time())
                for second in range(now, now + 4) if work == ".tmp" else ():
                    stamp = time.strftime("%Y%m%dT%H%M%SZ", time.gmtime(second))
                    links += [os.path.join(quarantine, "%s-%s-%d-%06d.vir" % (
                        stamp, host_label(), child.pid, n)) for n in range(1, 50)]
                for link in links:
                    os.symlink(victim, link)
                stdout, stderr = child.communicate(b"\n", timeout=60)
                self.assertEqual((child.returncode, stderr),
                                 (1, path.encode() + b": ERROR: " + reason + b"\n" if reason else b""))
                self.assertEqual(read(victim), b"the victim\n")
                self.assertTrue(all(os.readlink(link) == victim for link in links))
                self.assertEqual(os.path.exists(path), bool(reason))
                kept = [os.path.join(quarantine, n) for n in os.listdir(quarantine)]
                self.assertEqual([sha256(n) for n in kept if n.endswith(".vir") and not os.path.islink(n)],
                                 [digest] if action == "--move" and not reason else [])

    def strace(self, args):
        need("strace")
        return run("strace", ["-f", "-qq", "-s", "256"] + args, timeout=60)

    def test_order_of_steps(self):
        """A move across file systems as strace sees it: the copy opened exclusively and
        flushed, renamed to its name, the folder flushed, the manifest line written and
        flushed, and only then the original taken from its name and deleted."""
        root = self.temp(SHM).join("root")
        write(os.path.join(root, "a.exe"), standin("A", self.samples))
        quarantine = self.temp().join("q")
        log = self.trees[-1].join("strace.log")
        status, _, stderr = self.strace(["-o", log, "-e", "trace=openat,fsync,renameat2,unlinkat,write",
                                         self.program, "-j", "1", "--move", quarantine, root])
        self.assertEqual(status, 1, stderr)
        calls = [line.split(None, 1)[1] for line in read(log).decode().splitlines()]
        steps = [r'openat\(AT_FDCWD, "%s", O_RDONLY\|O_CLOEXEC\|O_DIRECTORY\) = (?P<q>\d+)'
                 % quarantine,
                 r'openat\({q}, "\.purgekit-[^"]*\.tmp", O_WRONLY\|O_CREAT\|O_EXCL\|.* = (?P<copy>\d+)',
                 r"fsync\({copy}\)",
                 r'renameat2\({q}, "\.purgekit-[^"]*\.tmp", {q}, "[^"]*\.vir", RENAME_NOREPLACE\)',
                 r"fsync\({q}\)",
                 r'openat\({q}, "%s", O_RDWR\|O_CREAT\|O_NOCTTY\|O_APPEND\|.* = (?P<m>\d+)' % MANIFEST,
                 r'write\({m}, "%s' % root,
                 r"fsync\({m}\)",
                 r'renameat2\((\d+), "a\.exe", \1, "\.purgekit-[^"]*\.del", RENAME_NOREPLACE\)',
                 r'unlinkat\(\d+, "\.purgekit-[^"]*\.del", 0\)']
        at, seen = 0, {}   # the next call to look at; the descriptors seen so far
        for step in steps:
            pattern, start = step.format(**seen), at
            while at < len(calls) and not re.match(pattern, calls[at]):
                at += 1
            self.assertLess(at, len(calls), "no %s after %s" % (pattern, calls[start - 1]))
            seen.update(re.match(pattern, calls[at]).groupdict())
            at += 1
        self.check_whole(quarantine)

    def test_copy_cut_short(self):
        """A read that returns short in the middle of a copy (strace injects an early end on
        the second read of the file): the copy is not the whole file scanned, so the move
        fails, the original stays and nothing is kept."""
        path = self.temp(SHM).join("root", "big.exe")
        write(path, make_pe(("A",), tail=bytes(300000)))
        digest = sha256(path)
        quarantine = self.temp().join("q")
        status, stdout, stderr = self.strace(["-o", "/dev/null", "-P", path, "-e", "trace=read",
                                              "-e", "inject=read:retval=0:when=2", self.program,
                                              "-i", "--move", quarantine, path])
        self.assertEqual((status, stderr), (1, path.encode() + b": ERROR: Input/output error\n"))
        self.assertEqual(sha256(path), digest)
        self.check_whole(quarantine)
        self.assertEqual(manifest_rows(quarantine), [])

    def test_work_files_left_in_the_quarantine(self):
        """What killed runs left is finished or deleted only when their process is certainly
        gone (this host, this boot and PID namespace and no such process; or an earlier
        boot): a record's line is added once when its file is there."""
        quarantine = self.temp().join("q")
        os.mkdir(quarantine, 0o700)
        dead = subprocess.Popen(["true"])
        dead.wait()
        gone, alive = work_prefix(dead.pid), work_prefix(os.getpid())
        kept = [work_prefix(dead.pid, host="other-host") + "1.tmp",
                work_prefix(dead.pid, space=12345) + "2.tmp", alive + "3.tmp", alive + "4.rec"]
        dropped = [gone + "5.tmp", work_prefix(1, boot="00000000") + "6.tmp"]
        line = lambda n: b"/x/a.exe\t36352\tTROJ_VORN.A\t2026-12-07T15:50:12Z\t%s\t\n" % n.encode()
        files = ["20261207T155012Z-h-1-000001.vir", "20261207T155012Z-h-1-000002.vir"]
        for name in kept + dropped + files:
            write(os.path.join(quarantine, name), b"x")
        write(os.path.join(quarantine, MANIFEST), line(files[1]))
        for n, named in (("7", files[0]), ("8", files[1]), ("9", "20261207T155012Z-h-1-000003.vir")):
            write(os.path.join(quarantine, gone + n + ".rec"), line(named))
        status, stdout, stderr = run(self.program, ["-q", "--move", quarantine, quarantine])
        self.assertEqual((status, stdout, stderr), (0, b"", b""))
        self.assertEqual(sorted(os.listdir(quarantine)), sorted(kept + files + [MANIFEST]))
        self.assertEqual(sorted(row[4].decode() for row in manifest_rows(quarantine)), files)

if __name__ == "__main__":
    main([Quarantine])
