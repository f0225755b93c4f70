#!/usr/bin/env python3
"""Compares what purgekit.exe wrote (console transcript or log) with an expected file.

Expected files are text with LF line ends, written from the program's documented messages;
every "\\n" the program writes arrives as CR LF (text mode), so the expected text is turned into
CR LF before a byte-exact comparison. Two things are normalised, both on the actual side:
  - the date and time lines of the log: the format is checked, the value replaced by <date>;
  - with --wine-processes, the scanning lines of Wine's own processes (see WINE_PROCESSES),
    which differ between Wine builds and identities; every other line stays exact;
  - with --ignore-process NAME (repeatable), the scanning lines of that program as well: the
    unattended launcher's two processes, which run beside the program it starts.
Expected files may say "@@include NAME" on a line of its own: the line is replaced by the text
of common/NAME.txt (which carries its own line ends).
"""
import argparse
import difflib
import os
import re
import sys

COMMON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "common")

# Programs Wine itself runs in every prefix, and the scenarios' own tools; the memory passes
# list and scan them. Wine's own programs are 64-bit in both kinds of prefix: the 64-bit
# build's passes scan them; the 32-bit build's PSAPI passes cannot read their modules and pass
# them over without a line, as on 64-bit Windows, and its Toolhelp passes (95 family) list
# them by bare name. The tools are built with each build and scanned by both.
WINE_PROCESSES = (
    "conhost.exe", "explorer.exe", "plugplay.exe", "rpcss.exe", "services.exe", "svchost.exe",
    "winedevice.exe", "wineboot.exe", "start.exe", "rundll32.exe",
    "holdopen.exe", "launch.exe",
)
DATE_LINE = re.compile(rb"Date and Time: (Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                       rb"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                       rb"\d\d \d\d:\d\d:\d\d \d{4}")


def expand(text, depth=0):
    out = []
    for line in text.split("\n"):
        if line.startswith("@@include "):
            if depth > 4:
                sys.exit("includes nest too deeply")
            name = line.split(None, 1)[1].strip()
            with open(os.path.join(COMMON, name + ".txt"), encoding="latin-1", newline="") as f:
                out.append(("\0INCLUDE", expand(f.read(), depth + 1)))
        else:
            out.append(line)
    # Rejoin: an included text replaces its line and that line's own break.
    result = ""
    for i, item in enumerate(out):
        if isinstance(item, tuple):
            result += item[1]
        else:
            result += item
            if i != len(out) - 1:
                result += "\n"
    return result


def wine_process_line(line, names):
    m = re.match(rb"^\r?\n?\t Scanning (.*?)( ---> Not found)?$", line)
    if not m:
        return False
    name = m.group(1).decode("latin-1").rsplit("\\", 1)[-1].lower()
    return name in names


def normalise(data, wine_processes, ignored=()):
    data = DATE_LINE.sub(b"Date and Time: <date>", data)
    names = set(n.lower() for n in ignored) | (set(WINE_PROCESSES) if wine_processes else set())
    if names:
        lines = data.split(b"\r\n")
        lines = [l for l in lines if not wine_process_line(l, names)]
        data = b"\r\n".join(lines)
    return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("expected")
    parser.add_argument("actual")
    parser.add_argument("--wine-processes", action="store_true")
    parser.add_argument("--ignore-process", action="append", default=[])
    args = parser.parse_args()
    with open(args.expected, encoding="latin-1", newline="") as f:
        expected = expand(f.read()).replace("\n", "\r\n").encode("latin-1")
    try:
        with open(args.actual, "rb") as f:
            actual = normalise(f.read(), args.wine_processes, args.ignore_process)
    except FileNotFoundError:
        print(f"missing: {args.actual}")
        return 1
    if expected == actual:
        return 0
    print(f"{args.actual} differs from {args.expected} (- expected, + actual; CR shown as \\r):")
    show = lambda b: [l + "\n" for l in b.decode("latin-1").replace("\r", "\\r").split("\n")]
    sys.stdout.writelines(difflib.unified_diff(show(expected), show(actual), n=2))
    return 1


if __name__ == "__main__":
    sys.exit(main())
