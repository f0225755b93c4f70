#!/usr/bin/env bash
# check_demo.sh SOURCE BUILD: runs the README's demonstration against this build and checks
# that it says which build it runs and ends with nothing of the infection left and the four
# blocking folders standing.
set -u
source_dir=$1
output=$(PURGEKIT_BUILD_DIR=$2 PURGEKIT_DEMO_PREBUILT=1 bash "$source_dir/scripts/demo.sh" 2>&1)
status=$?
printf '%s\n' "$output"
[ "$status" -eq 0 ] || { echo "the demonstration failed ($status)"; exit 1; }
remains=$(sed -n '/-- what remains/,$p' <<<"$output")
expected='worm processes running (krn132.exe): 0
service Krn132: gone
service KernelSvc: gone
Run value krn132: gone
krn132.exe: blocking folder Krn132.exe
wqk.exe: blocking folder Wqk.exe
wqk.dll: blocking folder Wqk.dll
WinSvc.exe: blocking folder WinSvc.exe'
[ "$(tail -n +2 <<<"$remains")" = "$expected" ] || { echo "unexpected remains:"; echo "$remains"; exit 1; }
grep -q 'System Inoculated' <<<"$output" || { echo "no inoculation in the transcript"; exit 1; }
grep -q "^== The build: .*$2/src/purgekit.exe" <<<"$output" || { echo "the demonstration does not say which build it runs"; exit 1; }
echo "demonstration OK"
