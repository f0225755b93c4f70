#!/usr/bin/env python3
"""check_runs.py FOLDER [--host NAME] [--platform NAME] [--reason TEXT] OUTCOME...

Checks the runs.jsonl that purgekit-unattended.exe wrote in FOLDER: one object a line, one line
per run with the outcomes given in order, the exit code that goes with each outcome, UTC times
in ISO 8601 (the start no later than the end), the console file named after the start and lying
in FOLDER, and a reason exactly when the run failed (containing TEXT when given).
"""
import argparse
import json
import os
import re
import sys

EXIT_CODES = {"clean": 0, "cleaned": 3010, "incomplete": 1, "failed": 1}
KEYS = ["host", "started", "ended", "platform", "outcome", "exit_code", "console"]
ISO = re.compile(r"^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)Z$")


def check(folder, args):
    problems = []
    path = os.path.join(folder, "runs.jsonl")
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        return [f"cannot read {path}: {error}"]
    if not data.endswith(b"\n"):
        problems.append("runs.jsonl does not end with a line feed")
    lines = data.split(b"\n")[:-1]
    if len(lines) != len(args.outcomes):
        problems.append(f"{len(lines)} runs recorded, expected {len(args.outcomes)}")
    for number, (line, outcome) in enumerate(zip(lines, args.outcomes), 1):
        where = f"run {number}"
        try:
            run = json.loads(line.decode("utf-8"))
        except ValueError as error:
            problems.append(f"{where}: not a JSON object ({error}): {line!r}")
            continue
        keys = KEYS + (["reason"] if run.get("outcome") == "failed" else [])
        if list(run) != keys:
            problems.append(f"{where}: fields {list(run)}, expected {keys}")
        if run.get("outcome") != outcome:
            problems.append(f"{where}: outcome {run.get('outcome')}, expected {outcome}")
        if run.get("exit_code") != EXIT_CODES.get(run.get("outcome")):
            problems.append(f"{where}: exit code {run.get('exit_code')} for {run.get('outcome')}")
        started, ended = ISO.match(run.get("started", "")), ISO.match(run.get("ended", ""))
        if not started or not ended or run["started"] > run["ended"]:
            problems.append(f"{where}: times {run.get('started')} .. {run.get('ended')}")
        elif run.get("console") != "console-%s%s%sT%s%s%sZ.txt" % started.groups():
            problems.append(f"{where}: console file {run.get('console')} for {run['started']}")
        elif not os.path.isfile(os.path.join(folder, run["console"])):
            problems.append(f"{where}: no console file {run['console']} in {folder}")
        if args.host is not None and run.get("host") != args.host:
            problems.append(f"{where}: host {run.get('host')}, expected {args.host}")
        if args.platform is not None and run.get("platform") != args.platform:
            problems.append(f"{where}: platform {run.get('platform')!r}, expected {args.platform}")
        if args.reason is not None and args.reason not in run.get("reason", ""):
            problems.append(f"{where}: reason {run.get('reason')!r} lacks {args.reason!r}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--host")
    parser.add_argument("--platform")
    parser.add_argument("--reason")
    parser.add_argument("outcomes", nargs="*")
    args = parser.parse_intermixed_args()
    problems = check(args.folder, args)
    for problem in problems:
        print(f"{args.folder}/runs.jsonl: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
