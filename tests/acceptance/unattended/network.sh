#!/usr/bin/env bash
# network.sh TEMPLATE PURGEKIT_EXE LAUNCHER TOOLS_DIR SAMPLES_DIR FLEET_DIR
#
# A small network cleaned unattended: four Wine prefixes stand for four computers, each with a
# name of its own and its own state, and one Linux folder stands for the share in every one of
# them (drive S:, the kit: purgekit.exe, purgekit-unattended.exe, fleet\ with the scripts as the
# release zip has them). Each computer boots (a Wine server of its own, its computer name set as
# Windows does at start-up) and runs the kit's script through Wine's cmd, under a virtual
# display, as a start-up or logon script runs, with no one at the console:
#   INFECTED-XP  Windows XP, the typical infection       fleet\startup.cmd   cleaned (3010)
#   CLEAN-XP     Windows XP, nothing                     fleet\startup.cmd   clean (0)
#   LOCKED-XP    Windows XP, the worm's Run value and a  fleet\startup.cmd   incomplete (1)
#                dropped file held open by a process
#   OLD-WIN95    Windows 95, the worm's Run value        fleet\logon.bat     cleaned
# The share's RESULTS folder then holds one folder per computer with its log, its console file
# and its record; a second boot of the clean computer runs nothing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../wine/wine_env.sh"
if [ "${PURGEKIT_XVFB:-}" != 1 ]; then
    wine_under_xvfb bash "$0" "$@"
    exit $?
fi
TEMPLATE=$(realpath "$1")
PURGEKIT_EXE=$(realpath "$2")
LAUNCHER=$(realpath "$3")
TOOLS_DIR=$(realpath "$4")
SAMPLES_DIR=$(realpath "$5")
FLEET_DIR=$(realpath "$6")
SCENARIO=unattended-network
FAILURES=0
BACKGROUND_PIDS=()
PREFIXES=()
RESULTS=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-network.XXXXXX")
SHARE=$RESULTS/share
cleanup() {
    local pid prefix
    for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for prefix in "${PREFIXES[@]}"; do wine_drop_prefix "$prefix"; done
    rm -rf "$RESULTS"
}
trap cleanup EXIT
. "$here/../common/prefix_helpers.sh"
. "$here/../common/typical_infection.sh"
. "$here/../common/machines.sh"

# The share, as the release zip lays it out; the scripts with Windows line ends.
mkdir -p "$SHARE/fleet"
cp "$PURGEKIT_EXE" "$SHARE/purgekit.exe"
cp "$LAUNCHER" "$SHARE/purgekit-unattended.exe"
for script in startup.cmd logon.bat; do
    sed 's/$/\r/' "$FLEET_DIR/$script" >"$SHARE/fleet/$script"
done

# run_script SCRIPT [ARGS...]: the kit's script through Wine's cmd, from C:\, nobody at the
# console; its exit code in STATUS.
run_script() {
    (cd "$DRIVE_C" && win cmd /c "$@" </dev/null >>"$RESULTS/$NAME.out" 2>>"$RESULTS/$NAME.err")
    STATUS=$?
}

# outcome OUTCOME...: the computer's results folder on the share holds its whole log, every
# console file of its work folder (the Windows folder's PURGEKIT) and one record per run.
outcome() {
    local folder=$SHARE/RESULTS/$NAME work=$DRIVE_C/windows/PURGEKIT name
    cmp -s "$folder/PURGEKIT.LOG" "$work/PURGEKIT.LOG" || fail "$NAME: the share's log is not the computer's"
    for name in $(cd "$work" && ls console-*.txt 2>/dev/null); do
        cmp -s "$folder/$name" "$work/$name" || fail "$NAME: the share's $name is not the computer's"
    done
    python3 "$here/check_runs.py" "$folder" --host "$NAME" "$@" || fail "$NAME: its record"
}

computer INFECTED-XP winxp
plant_typical_infection
run_script 'S:\fleet\startup.cmd'
[ "$STATUS" = 194 ] || fail "INFECTED-XP: startup.cmd exited with $STATUS, expected 3010 (194)"
expect_infection_removed
outcome --platform "Windows XP" cleaned
[ ! -e "$DRIVE_C/windows/PURGEKIT/CLEAN.TXT" ] || fail "INFECTED-XP: marked clean"

computer CLEAN-XP winxp
run_script 'S:\fleet\startup.cmd'
[ "$STATUS" = 0 ] || fail "CLEAN-XP: startup.cmd exited with $STATUS, expected 0"
outcome --platform "Windows XP" clean
[ -e "$DRIVE_C/windows/PURGEKIT/CLEAN.TXT" ] || fail "CLEAN-XP: not marked clean"
reboot
run_script 'S:\fleet\startup.cmd'
[ "$STATUS" = 0 ] || fail "CLEAN-XP: the second start-up exited with $STATUS, expected 0"
outcome --platform "Windows XP" clean
[ "$(ls "$SHARE/RESULTS/CLEAN-XP" | grep -c '^console-')" = 1 ] ||
    fail "CLEAN-XP: the second start-up ran the cleaner again"

computer LOCKED-XP winxp
reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
plant_file 'C:\windows\system32\Wqk.exe' virus
hold_open 'C:\windows\system32\Wqk.exe'
run_script 'S:\fleet\startup.cmd'
[ "$STATUS" = 1 ] || fail "LOCKED-XP: startup.cmd exited with $STATUS, expected 1"
outcome --platform "Windows XP" incomplete
[ -f "$SYSDIR/Wqk.exe" ] || fail "LOCKED-XP: the held file is gone"

computer OLD-WIN95 win95
reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
run_script 'S:\fleet\logon.bat' 'S:'
outcome --platform "Windows 95" cleaned
reg_has_value "$RUN" krn132 && fail "OLD-WIN95: the Run value is still there"

folders=$(ls "$SHARE/RESULTS" | tr '\n' ' ')
[ "$folders" = "CLEAN-XP INFECTED-XP LOCKED-XP OLD-WIN95 " ] ||
    fail "the share's RESULTS holds: $folders"

if [ "$FAILURES" -ne 0 ]; then
    echo "unattended network: $FAILURES failure(s)"
    for file in "$RESULTS"/*.out "$RESULTS"/*.err; do echo "== $file"; cat "$file"; done
    exit 1
fi
echo "unattended network: passed"
