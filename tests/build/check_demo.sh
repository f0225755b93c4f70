#!/usr/bin/env bash
# check_demo.sh SOURCE BUILD: runs the README's demonstration against this build and checks
# that it says which build it runs and leaves nothing of the infection and the four blocking
# folders standing on the machine cleaned by purgekit.exe; that in its outbreak the three
# machines cleaned unattended by purgekit-unattended.exe end cleaned (3010), clean (0) and
# incomplete (1), the share's sweep moves its two dormant copies, and the outbreak report tells
# each machine's status.
set -u
source_dir=$1
out=$2/demo-outbreak
output=$(PURGEKIT_BUILD_DIR=$2 PURGEKIT_DEMO_PREBUILT=1 PURGEKIT_DEMO_OUT=$out \
         bash "$source_dir/scripts/demo.sh" 2>&1)
status=$?
printf '%s\n' "$output"
[ "$status" -eq 0 ] || { echo "the demonstration failed ($status)"; exit 1; }
remains=$(sed -n '/-- what remains$/,/^$/p' <<<"$output" | sed '/^$/d')
expected='worm processes running (krn132.exe): 0
service Krn132: gone
service KernelSvc: gone
Run value krn132: gone
krn132.exe: blocking folder Krn132.exe
wqk.exe: blocking folder Wqk.exe
wqk.dll: blocking folder Wqk.dll
WinSvc.exe: blocking folder WinSvc.exe'
[ "$(tail -n +2 <<<"$remains")" = "$expected" ] || { echo "unexpected remains:"; echo "$remains"; exit 1; }
outbreak=$(sed -n '/^== A small outbreak/,$p' <<<"$output")
for expected_line in 'PC-INFECTED: cleaned; results in S:\RESULTS\PC-INFECTED' \
                     'PC-CLEAN: clean; results in S:\RESULTS\PC-CLEAN' \
                     'PC-LOCKED: incomplete; results in S:\RESULTS\PC-LOCKED'; do
    grep -qF "$expected_line" <<<"$outbreak" || { echo "the outbreak lacks: $expected_line"; exit 1; }
done
[ "$(grep -o '^   exit code [0-9]*' <<<"$outbreak" | tr '\n' ' ')" = \
  "   exit code 3010    exit code 0    exit code 1 " ] || { echo "unexpected exit codes of the launcher"; exit 1; }
[ "$(grep -c '"type":"found"' <<<"$outbreak")" = 2 ] || { echo "the sweep did not find the two copies"; exit 1; }
python3 - "$out/report/hosts.csv" <<'PY' || exit 1
import csv, sys
rows = {row["host"]: row["status"] for row in csv.DictReader(open(sys.argv[1], newline=""))}
expected = {"PC-INFECTED": "second-run", "PC-CLEAN": "clean", "PC-LOCKED": "attention",
            "FILESERVER": "clean"}
if rows != expected:
    sys.exit(f"the report's statuses: {rows}, expected {expected}")
PY
[ -s "$out/report/report.html" ] || { echo "no report.html"; exit 1; }
grep -qF "the report: $out/report/report.html" <<<"$outbreak" || { echo "the demonstration does not say where the report is"; exit 1; }
grep -q 'System Inoculated' <<<"$output" || { echo "no inoculation in the transcript"; exit 1; }
grep -q "^== The build: .*$2/src/purgekit.exe" <<<"$output" || { echo "the demonstration does not say which build it runs"; exit 1; }
echo "demonstration OK"
