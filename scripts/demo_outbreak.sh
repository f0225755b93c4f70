#!/usr/bin/env bash
# demo_outbreak.sh BUILD_DIR OUT_DIR: the demonstration's small outbreak, run by scripts/demo.sh
# under a virtual display (Xvfb) of its own, with nobody at any console.
#
# Three Windows XP machines, each a throwaway Wine prefix of BUILD_DIR's kind with a computer
# name of its own, share one folder (drive S:, the kit: purgekit.exe and
# purgekit-unattended.exe, and S:\RESULTS); each runs S:\purgekit-unattended.exe --results
# S:\RESULTS as a start-up script would:
#   PC-INFECTED  the typical infection, the worm running       cleaned (exit 3010)
#   PC-CLEAN     nothing                                       clean (exit 0)
#   PC-LOCKED    the worm's Run value, and a dropped file that  incomplete (exit 1)
#                another process holds open: it cannot be deleted
# Then a file server's share (a folder here) holding dormant copies of the worm under other
# names is swept by the native purgekit-scan, the copies moved into a quarantine, its JSON
# Lines kept as RESULTS/FILESERVER/sweep.jsonl; and purgekit-report writes the outbreak report
# of the whole RESULTS folder into OUT_DIR/report (OUT_DIR/results keeps the results). Nothing
# outside the prefixes, OUT_DIR and a temporary folder is touched.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/wine/wine_env.sh"
if [ "${PURGEKIT_XVFB:-}" != 1 ]; then
    wine_under_xvfb bash "$0" "$@"
    exit $?
fi
build=$(realpath "$1")
out=$2
scan=${PURGEKIT_NATIVE_SCAN:-$root/build/sweep-native/purgekit-scan}
report=${PURGEKIT_NATIVE_REPORT:-$root/build/report-native/purgekit-report}
[ -x "$scan" ] || "$root/scripts/build_sweep_native.sh" "$(dirname "$scan")" >/dev/null
[ -x "$report" ] || "$root/scripts/build_report_native.sh" "$(dirname "$report")" >/dev/null

SCENARIO=demo-outbreak
FAILURES=0
BACKGROUND_PIDS=()
PREFIXES=()
RESULTS=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-outbreak.XXXXXX")
SHARE=$RESULTS/share
cleanup() {
    local pid prefix
    for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for prefix in "${PREFIXES[@]}"; do wine_drop_prefix "$prefix"; done
    rm -rf "$RESULTS"
}
trap cleanup EXIT
. "$root/tests/acceptance/common/prefix_helpers.sh"
. "$root/tests/acceptance/common/typical_infection.sh"
. "$root/tests/acceptance/common/machines.sh"

TEMPLATE=$build/wine-template
TOOLS_DIR=$build/tests/tools
SAMPLES_DIR=$build/samples
wine_boot_template "$TEMPLATE" "$(wine_bits "$TEMPLATE")" || exit 1
mkdir -p "$SHARE/RESULTS"
cp "$build/src/purgekit.exe" "$build/src/purgekit-unattended.exe" "$SHARE/"

# clean_unattended: what a start-up script does on the machine; its line and exit code shown
# (a Windows exit code reaches Linux modulo 256: 3010 as 194).
clean_unattended() {
    local status
    echo "   $NAME> S:\\purgekit-unattended.exe --results S:\\RESULTS"
    (cd "$DRIVE_C" && win 'S:\purgekit-unattended.exe' --results 'S:\RESULTS' </dev/null) \
        >"$RESULTS/$NAME.out" 2>"$RESULTS/$NAME.err"
    status=$?
    sed 's/^/   /' "$RESULTS/$NAME.out"
    [ "$status" = 194 ] && status="3010 (restart required)"
    echo "   exit code $status"
}

echo "== Three machines cleaned unattended, their results on one share"
computer PC-INFECTED winxp
plant_typical_infection
clean_unattended
expect_infection_removed
computer PC-CLEAN winxp
clean_unattended
computer PC-LOCKED winxp
reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
plant_file 'C:\windows\system32\Wqk.exe' virus
hold_open 'C:\windows\system32\Wqk.exe'
clean_unattended

echo "   the share's RESULTS folder:"
(cd "$SHARE/RESULTS" && find . -type f | sort | sed 's|^\./|   S:\\RESULTS\\|; s|/|\\|g')

echo "== A file server's share swept for dormant copies"
fileserver=$RESULTS/fileserver
quarantine=$RESULTS/quarantine
mkdir -p "$fileserver/apps/tools" "$fileserver/users/bob/old" "$fileserver/public"
cp "$build/samples/standin-c.exe" "$fileserver/apps/tools/setup.exe"
cp "$build/samples/standin-e.exe" "$fileserver/users/bob/old/screensaver.scr"
cp "$build/tests/tools/launch.exe" "$fileserver/apps/tools/launch.exe"
echo "minutes of the meeting" >"$fileserver/public/minutes.txt"
mkdir -p "$SHARE/RESULTS/FILESERVER"
"$scan" --json --move "$quarantine" "$fileserver" >"$SHARE/RESULTS/FILESERVER/sweep.jsonl"
echo "   purgekit-scan --json --move QUARANTINE SHARE: exit code $?"
grep '"type":"found"' "$SHARE/RESULTS/FILESERVER/sweep.jsonl" |
    sed "s|$fileserver|/srv/share|g; s/^/   /"

echo "== The outbreak report"
rm -rf "$out"
mkdir -p "$out"
cp -r "$SHARE/RESULTS" "$out/results"
"$report" -o "$out/report" "$out/results"
echo "   purgekit-report exit code $? (1: some machine is not clean)"
echo "   the report: $out/report/report.html"
echo "   (and hosts.csv, runs.jsonl, findings.jsonl beside it; the results in $out/results)"

if [ "$FAILURES" -ne 0 ]; then
    for file in "$RESULTS"/*.err; do echo "== $file"; cat "$file"; done
    exit 1
fi
exit 0
