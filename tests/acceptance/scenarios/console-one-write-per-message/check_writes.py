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
CONSOLE_ONLY = [
    ("the opening banner and its prompt", b"\r\n +====", b"Press any key to continue....\r\n"),
    ("the reboot advice", b"\r\n\r\n Please reboot your system", b""),
    ("the closing prompt", b" \r\n Press any key to continue ....\r\n", b""),
    ("the closing box", b"\r\n\r\n\r\n +====", b"=+"),
]


def unhex(escaped):
    return bytes.fromhex(escaped.replace("\\x", ""))


def writes_of(paths, stdout_path, log_path):
    """The writes to standard output and to the log, in order, from the thread that made them."""
    found = []
    for path in paths:
        events = []
        with open(path, encoding="ascii", errors="replace") as trace:
            for line in trace:
                match = WRITE.match(line)
                if not match:
                    continue
                written_to = unhex(match["path"]).decode("utf-8", "replace")
                if written_to in (stdout_path, log_path):
                    target = "out" if written_to == stdout_path else "log"
                    events.append((target, unhex(match["data"])))
        if any(target == "out" for target, _ in events):
            found.append(events)
    if len(found) != 1:
        sys.exit(f"expected the writes of one thread, found {len(found)} threads writing them")
    return found[0]


def main():
    stdout_path, log_path = (os.path.realpath(path) for path in sys.argv[1:3])
    traces = sys.argv[3:]
    events = writes_of(traces, stdout_path, log_path)
    with open(stdout_path, "rb") as f:
        transcript = f.read()
    outs = [data for target, data in events if target == "out"]
    problems = []
    if b"".join(outs) != transcript:
        problems.append("the writes to standard output do not make up the transcript")
    console_only = []
    messages = 0
    for i, (target, data) in enumerate(events):
        if target != "out":
            continue
        if i > 0 and events[i - 1] == ("log", data):
            messages += 1
        else:
            console_only.append(data)
    if len(console_only) != len(CONSOLE_ONLY):
        problems.append(f"{len(console_only)} writes to standard output are neither a logged "
                        f"message nor a console-only group (expected {len(CONSOLE_ONLY)}): "
                        + ", ".join(repr(data[:40]) for data in console_only[:8]))
    else:
        for (name, head, tail), data in zip(CONSOLE_ONLY, console_only):
            if not data.startswith(head) or not data.endswith(tail):
                problems.append(f"{name} is not one write: {data[:60]!r}...{data[-30:]!r}")
    print(f"{len(outs)} writes to standard output: {messages} messages, "
          f"{len(console_only)} console-only groups, {len(transcript)} bytes")
    for problem in problems:
        print("FAIL:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
