#!/usr/bin/env python3
"""A sweep killed (SIGKILL) at random moments while it moves many found files across file
systems loses nothing: after every kill each file is whole (same SHA-256) in its place or in
the quarantine, no file under a final quarantine name is partial, every manifest line names a
whole file; a new run then finishes the job, writes the lines a kill kept from the manifest
and clears the temporary copies and records.

The originals lie on /dev/shm (tmpfs), the quarantine on the disk that holds /tmp, so each move
is a copy flushed to disk; some originals are 20 MB so that copying takes time. Round 0 times an
uninterrupted sweep; every later round plants the tree again and kills two sweeps in a row, each
after a random delay within that time. The random seed is printed (SWEEP_KILL_SEED repeats it).

test_kill.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import hashlib
import os
import random
import re
import subprocess
import time
import unittest

from sweeplib import TempTree, main, manifest_name, sha256, standin, write

FILES = 200
LARGE_EVERY = 40            # every 40th file is large
LARGE_SIZE = 20 * 1048576
ROUNDS = 4
KILLS_PER_ROUND = 2


class KilledDuringMoves(unittest.TestCase):
    program = samples = None

    def setUp(self):
        self.originals = TempTree("/dev/shm")
        self.quarantine_tree = TempTree()
        self.seed = int(os.environ.get("SWEEP_KILL_SEED", random.randrange(1 << 30)))
        print("seed %d" % self.seed)
        self.random = random.Random(self.seed)
        self.digests_of_names = {}
        self.padding = os.urandom(LARGE_SIZE)

    def tearDown(self):
        self.originals.__exit__()
        self.quarantine_tree.__exit__()

    def plant(self, root):
        """FILES found files with distinct contents; returns {path: sha256}."""
        bodies = [standin(v, self.samples) for v in "ACE"]
        planted = {}
        for n in range(FILES):
            tail = b"%08d" % n + (self.padding if n % LARGE_EVERY == 17 else b"")
            data = bodies[n % 3] + tail
            path = os.path.join(root, "d%d" % (n % 7), "file%03d.exe" % n)
            write(path, data)
            planted[path] = hashlib.sha256(data).hexdigest()
        return planted

    def quarantined(self, quarantine):
        """{sha256: count} of the files under final names; the manifest's lines."""
        digests = {}
        names = os.listdir(quarantine) if os.path.isdir(quarantine) else []
        for name in names:
            if name.endswith(".vir"):
                if name not in self.digests_of_names:
                    self.digests_of_names[name] = sha256(os.path.join(quarantine, name))
                digest = self.digests_of_names[name]
                digests[digest] = digests.get(digest, 0) + 1
            else:
                self.assertTrue(name == manifest_name() or
                                re.fullmatch(r"\.purgekit-.*-\d+\.(tmp|rec)", name),
                                "unexpected file in the quarantine: %r" % name)
        manifest = []
        if manifest_name() in names:
            with open(os.path.join(quarantine, manifest_name()), "rb") as f:
                manifest = f.read().split(b"\n")
            self.assertEqual(manifest.pop(), b"", "the manifest's last line is cut")
        return digests, [line.split(b"\t") for line in manifest]

    def check_nothing_lost(self, planted, quarantine, when):
        digests, manifest = self.quarantined(quarantine)
        known = set(planted.values())
        self.assertTrue(set(digests) <= known, "%s: a partial file under a final name" % when)
        in_place = 0
        for path, digest in planted.items():
            if os.path.exists(path):
                self.assertEqual(sha256(path), digest, "%s: %s is not whole" % (when, path))
                in_place += 1
            else:
                self.assertIn(digest, digests, "%s: %s is lost" % (when, path))
        for row in manifest:
            self.assertEqual(len(row), 6, "%s: manifest line %r" % (when, row))
            self.assertIn(row[4].decode(), self.digests_of_names,
                          "%s: the manifest names a missing file" % when)
            original = row[0].decode()
            if re.fullmatch(r".*/\.purgekit-[^/]*\.del", original):
                # A killed run's original, taken aside to be deleted once it was quarantined and
                # found by the next run under that name: quarantined once more.
                self.assertIn(self.digests_of_names[row[4].decode()], known)
            else:
                self.assertEqual(self.digests_of_names[row[4].decode()], planted[original])
        return in_place

    def sweep(self, root, quarantine, kill_after=None):
        started = time.monotonic()
        child = subprocess.Popen([self.program, "-q", "-j", "2", "--move", quarantine, root],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if kill_after is not None:
            try:
                child.wait(timeout=kill_after)
            except subprocess.TimeoutExpired:
                child.kill()
        _, stderr = child.communicate(timeout=120)
        return child.returncode, stderr, time.monotonic() - started

    def test_killed_at_random_moments(self):
        root = self.originals.join("root")
        full_run = None
        for round_number in range(ROUNDS + 1):
            subprocess.run(["rm", "-rf", root, self.quarantine_tree.join("q")], check=True)
            quarantine = self.quarantine_tree.join("q")
            self.digests_of_names.clear()
            planted = self.plant(root)
            if round_number == 0:
                status, stderr, full_run = self.sweep(root, quarantine)
                self.assertEqual((status, stderr), (1, b""))
                self.assertEqual(self.check_nothing_lost(planted, quarantine, "uninterrupted"), 0)
                print("an uninterrupted sweep moves %d files in %.2f s" % (FILES, full_run))
                continue
            for kill in range(KILLS_PER_ROUND):
                delay = self.random.uniform(0.0, full_run)
                status, stderr, _ = self.sweep(root, quarantine, kill_after=delay)
                when = "round %d, killed after %.3f s" % (round_number, delay)
                left = self.check_nothing_lost(planted, quarantine, when)
                print("%s (exit %d): %d of %d files still in place" % (when, status, left, FILES))
            status, stderr, _ = self.sweep(root, quarantine)
            self.assertIn(status, (0, 1), stderr)
            self.assertEqual(stderr, b"")
            self.assertEqual(self.check_nothing_lost(planted, quarantine, "after the new run"), 0)
            leftovers = [n for n in os.listdir(quarantine) if n.startswith(".")]
            self.assertEqual(leftovers, [], "work files left by killed runs stay")
            _, manifest = self.quarantined(quarantine)
            self.assertEqual(sorted(row[4].decode() for row in manifest),
                             sorted(n for n in os.listdir(quarantine) if n.endswith(".vir")),
                             "quarantined files without their manifest line")


if __name__ == "__main__":
    main([KilledDuringMoves])
