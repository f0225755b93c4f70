#!/usr/bin/env python3
"""check_writes.py STDOUT LOG TRACE...: the writes of one run, from strace -ff -y -xx files.

Every write to standard output is either a reported message, which is the very bytes of the
log write just before it, or one of the four console-only groups, each whole. Together the
writes make up the transcript.
"""
import os
import re
import sys

HEX = r"(?:\\x[0-9a-f]{2})*"
WRITE = re.compile(rf'^(?:write|pwrite64)\(\d+<(?P<path>{HEX})>, "(?P<data>{HEX})"')
CONSOLE_ONLY = [   # (name, how the write begins, how it ends)
    ("the opening banner and its prompt", b"\r\n +====", b"Press any key to continue....\r\n"),
    ("the reboot advice", b"\r\n\r\n Please reboot your system", b""),
    ("the closing prompt", b" \r\n Press any key to continue ....\r\n", b""),
    ("the closing box", b"\r\n\r\n\r\n +====", b"=+"),
]


def unhex(escaped):
    return bytes.fromhex(escaped.replace("\\x", ""))


def main():
    out_path, log_path = (os.path.realpath(path) for path in sys.argv[1:3])
    threads = []   # per trace file: its writes to the log and to standard output, in order
    for trace in sys.argv[3:]:
        events = []
        for line in open(trace, encoding="ascii", errors="replace"):
            match = WRITE.match(line)
            target = match and unhex(match["path"]).decode("utf-8", "replace")
            if target in (out_path, log_path):
                events.append(("out" if target == out_path else "log", unhex(match["data"])))
        if any(kind == "out" for kind, _ in events):
            threads.append(events)
    if len(threads) != 1:
        sys.exit(f"expected the writes of one thread, found {len(threads)} threads writing them")
    events = threads[0]
    outs = [data for kind, data in events if kind == "out"]
    console_only = [data for i, (kind, data) in enumerate(events)
                    if kind == "out" and (i == 0 or events[i - 1] != ("log", data))]
    problems = []
    if b"".join(outs) != open(out_path, "rb").read():
        problems.append("the writes to standard output do not make up the transcript")
    if len(console_only) != len(CONSOLE_ONLY):
        problems.append(f"{len(console_only)} writes to standard output are neither a logged "
                        f"message nor a console-only group (expected {len(CONSOLE_ONLY)}): "
                        + ", ".join(repr(data[:40]) for data in console_only[:8]))
    else:
        for (name, head, tail), data in zip(CONSOLE_ONLY, console_only):
            if not data.startswith(head) or not data.endswith(tail):
                problems.append(f"{name} is not one write: {data[:60]!r}...{data[-30:]!r}")
    print(f"{len(outs)} writes to standard output: {len(outs) - len(console_only)} messages, "
          f"{len(console_only)} console-only groups")
    for problem in problems:
        print("FAIL:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
