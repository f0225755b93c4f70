#!/usr/bin/env python3
"""Writes the seed corpus of the report fuzz target into a folder: the acceptance scenarios'
expected logs and transcripts as the cleaner writes them (CR LF, and one with LF), a log of
two runs cut inside a line, and JSON Lines of the launcher and of the sweep, valid and not.

make_report_seeds.py FOLDER
"""
import glob
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "report"))
from reportlib import SCENARIOS, expected_text, launcher_line, sweep_lines  # noqa: E402


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    seeds = {}
    for path in sorted(glob.glob(os.path.join(SCENARIOS, "*", "expected-*.txt"))):
        relative = os.path.relpath(path, SCENARIOS)
        seeds[relative.replace("/", "-")] = expected_text(relative)
    typical = expected_text("typical-infection-winxp/expected-log.txt")
    seeds["typical-lf"] = typical.replace(b"\r\n", b"\n")
    seeds["typical-cut"] = typical[:len(typical) * 2 // 3]
    seeds["launcher"] = (launcher_line("PC-1", "cleaned", 3010) + launcher_line("PC-1", "failed", 1) +
                         b'{"host":"PC-1","started":"x","outcome":"bogus"}\n{"host":\n')
    seeds["sweep"] = sweep_lines([("/srv/a.exe", ["TROJ_VORN.A"], "moved", "q.vir"),
                                  ("/srv/caf\udce9.exe", ["TROJ_VORN.C", "TROJ_VORN.E"], None, None)], errors=1)
    seeds["json-edges"] = (b'{"a":"\\ud83d\\ude00\\udce9\\u0000","b":[[[{"c":-1.5e+3}]]],"d":true}\n'
                           b'{"type":"found","path":"/x","variants":[1,"A"],"size":18446744073709551616}\n')
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
