#!/usr/bin/env python3
"""A sweep sharded through GNU parallel, as the README shows it, reports exactly the found
files of one plain run: the file names from find, 200 a shard, each shard swept with -f - and
--json, the JSON Lines concatenated. Names with blanks and non-ASCII letters are part of the
tree (find prints one name a line, so a name holding a line break cannot be sharded this way).

test_sharding.py PURGEKIT_SCAN [SAMPLES_DIR]
"""
import os
import random
import subprocess
import unittest

from sweeplib import TempTree, json_found, main, make_pe, need, read_json_lines, run, standin, write

FILES = 2500


class Sharding(unittest.TestCase):
    program = samples = None

    def setUp(self):
        need("parallel")
        self.tree = TempTree()

    def tearDown(self):
        self.tree.__exit__()

    def test_sharded_sweep_finds_what_one_sweep_finds(self):
        root = self.tree.join("root")
        pick = random.Random(10)
        bodies = [standin(v, self.samples) for v in "ACE"] + [make_pe(("A", "C")), b"MZ" + bytes(100),
                                                              make_pe(("E",), flip=("E", 1))]
        for n in range(FILES):
            body = bodies[n % 3] if n % 97 == 0 else bodies[3 + n % 3] if n % 89 == 0 else \
                bytes(pick.randrange(256) for _ in range(n % 300))
            write(os.path.join(root, "host%d" % (n % 13), "share %d" % (n % 5), "f\u00e9%04d.dll" % n), body)
        status, stdout, stderr = run(self.program, ["--json", root])
        self.assertEqual((status, stderr), (1, b""))
        objects, summary = read_json_lines(self, stdout)
        plain = json_found(objects)
        self.assertGreater(len(plain), 30)
        self.assertEqual(summary["scanned"], FILES)

        command = ("find %s -type f | parallel --pipe -N 200 %s -f - --json"
                   % (root, self.program))
        sharded = subprocess.run(["bash", "-c", command], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(sharded.stderr, b"")
        lines = sharded.stdout.split(b"\n")[:-1]
        summaries = [line for line in lines if b'"type":"summary"' in line]
        self.assertEqual(len(summaries), (FILES + 199) // 200)
        found = {}
        scanned = 0
        shard_objects = []
        for line in lines:   # each shard's JSON Lines end in its summary (parallel groups them)
            objects, summary = read_json_lines(self, b"\n".join(shard_objects + [line]) + b"\n") \
                if b'"type":"summary"' in line else (None, None)
            if summary is None:
                shard_objects.append(line)
                continue
            found.update(json_found(objects))
            scanned += summary["scanned"]
            shard_objects = []
        self.assertEqual(shard_objects, [], "objects after the last shard's summary")
        self.assertEqual(found, plain)
        self.assertEqual(scanned, FILES)


if __name__ == "__main__":
    main([Sharding])
