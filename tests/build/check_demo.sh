#!/usr/bin/env bash
# check_demo.sh SOURCE BUILD: runs the README's demonstration against this build and checks
# that it says which build it runs and leaves nothing of the infection and the four blocking
# folders standing, on the machine cleaned by purgekit.exe and on the one cleaned unattended by
# purgekit-unattended.exe, whose results folder it shows with the run's record.
set -u
source_dir=$1
output=$(PURGEKIT_BUILD_DIR=$2 PURGEKIT_DEMO_PREBUILT=1 bash "$source_dir/scripts/demo.sh" 2>&1)
status=$?
printf '%s\n' "$output"
[ "$status" -eq 0 ] || { echo "the demonstration failed ($status)"; exit 1; }
remains=$(sed -n '/-- what remains$/,/^$/p' <<<"$output" | sed '/^$/d')
unattended_remains=$(sed -n '/-- what remains (second machine)$/,$p' <<<"$output")
expected='worm processes running (krn132.exe): 0
service Krn132: gone
service KernelSvc: gone
Run value krn132: gone
krn132.exe: blocking folder Krn132.exe
wqk.exe: blocking folder Wqk.exe
wqk.dll: blocking folder Wqk.dll
WinSvc.exe: blocking folder WinSvc.exe'
[ "$(tail -n +2 <<<"$remains")" = "$expected" ] || { echo "unexpected remains:"; echo "$remains"; exit 1; }
[ "$(tail -n +2 <<<"$unattended_remains")" = "$expected" ] ||
    { echo "unexpected remains on the second machine:"; echo "$unattended_remains"; exit 1; }
grep -qF ': cleaned; results in C:\results\' <<<"$output" || { echo "the launcher did not say cleaned"; exit 1; }
grep -qF 'exit code 194 ' <<<"$output" || { echo "the launcher did not end with 3010"; exit 1; }
grep -q '^{"host":.*"outcome":"cleaned","exit_code":3010,"console":"console-[0-9T]*Z.txt"}$' <<<"$output" ||
    { echo "no record of the unattended run"; exit 1; }
grep -q 'System Inoculated' <<<"$output" || { echo "no inoculation in the transcript"; exit 1; }
grep -q "^== The build: .*$2/src/purgekit.exe" <<<"$output" || { echo "the demonstration does not say which build it runs"; exit 1; }
echo "demonstration OK"
