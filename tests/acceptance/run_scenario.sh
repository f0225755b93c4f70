#!/usr/bin/env bash
# run_scenario.sh SCENARIO_DIR PURGEKIT_EXE TEMPLATE_PREFIX TOOLS_DIR [SAMPLES_DIR]
#
# Runs one acceptance scenario: a copy of the booted template prefix gets the scenario's
# Windows identity and planted state, the real purgekit.exe runs in it from C:\work with no
# standard input, and its console transcript, its log and the state it leaves are checked.
#
# The same scenario runs against both builds, each with its own template, tools and stand-ins.
# With a 32-bit template (see ../wine/wine_env.sh) every program the scenario starts is
# 32-bit, Wine's own tools included, so the state is planted in the 32-bit view that the
# 32-bit program sees, as on a 32-bit Windows: files of the system folder land in syswow64,
# HKLM\SOFTWARE values under Wow6432Node. The expected files are the same for both builds.
#
# A scenario folder holds scenario.sh, which may set IDENTITY (default winxp) and define
#   plant        set up the system before the run
#   after        check the state after the run (fail with `fail MESSAGE`)
#   scenario_main  replace the whole default flow (plant, run, compare, after)
# and the expected files expected-stdout.txt and expected-log.txt (see compare_output.py); a
# scenario that expects what another one does may point EXPECTED_DIR at that one's folder.
#
# Environment: PURGEKIT_DLLOVERRIDES, when set, is added to WINEDLLOVERRIDES for the runs of
# purgekit.exe only (e.g. "shlwapi=d": a system without that library), and PURGEKIT_VARIANT
# names such a run of a scenario, so that its results are kept apart from the plain run's.
#
# Unattended: with PURGEKIT_LAUNCHER (the path of purgekit-unattended.exe), each run of the
# program is a run of the launcher beside it in C:\work (--work C:\work --results C:\results),
# which starts purgekit.exe in a console of its own and answers its key prompts; the captured
# console output stands for the transcript and is compared with the same expected files (the
# launcher's own processes' scanning lines aside). Every run after the first follows a reboot
# (the Wine server and every process ended). PURGEKIT_LAUNCHER_OUTCOMES lists each run's
# expected outcome (clean, cleaned, incomplete, failed), checked with its exit code, and the
# results folder must hold the whole log, each console file and a record per run.
# PURGEKIT_LAUNCHER_CONSOLE: xvfb (default: the whole scenario under a virtual display, standard
# input on /dev/null) or pty (a pseudo-terminal nobody types on, no display).
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/wine_env.sh"
LAUNCHER=${PURGEKIT_LAUNCHER:-}
LAUNCHER_CONSOLE=${PURGEKIT_LAUNCHER_CONSOLE:-xvfb}
if [ -n "$LAUNCHER" ] && [ "$LAUNCHER_CONSOLE" = xvfb ] && [ "${PURGEKIT_XVFB:-}" != 1 ]; then
    wine_under_xvfb bash "$0" "$@"
    exit $?
fi

SCENARIO_DIR=$(cd "$1" && pwd)
PURGEKIT_EXE=$2
TEMPLATE=$3
TOOLS_DIR=$4
SAMPLES_DIR=${5:-}
SCENARIO=$(basename "$SCENARIO_DIR")${PURGEKIT_VARIANT:+.$PURGEKIT_VARIANT}
EXPECTED_DIR=$SCENARIO_DIR
IDENTITY=winxp
FAILURES=0

PREFIX=$(wine_new_prefix "$TEMPLATE") || { echo "cannot copy the template prefix"; exit 1; }
BACKGROUND_PIDS=()
cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wine_drop_prefix "$PREFIX"
}
trap cleanup EXIT

DRIVE_C=$PREFIX/drive_c
SYSDIR=$(wine_system_folder "$PREFIX") # Linux path of what the programs see as C:\windows\system32
WORK=$DRIVE_C/work                     # the program's working folder, C:\work
RESULTS=${PURGEKIT_RESULTS:-$PWD/acceptance-results}/$SCENARIO
rm -rf "$RESULTS"
mkdir -p "$WORK" "$DRIVE_C/tools" "$RESULTS"
cp "$PURGEKIT_EXE" "$WORK/purgekit.exe"
[ -n "$LAUNCHER" ] && cp "$LAUNCHER" "$WORK/purgekit-unattended.exe"
cp "$TOOLS_DIR"/*.exe "$DRIVE_C/tools/" 2>/dev/null
[ -n "$SAMPLES_DIR" ] && [ -d "$SAMPLES_DIR" ] && cp "$SAMPLES_DIR"/*.exe "$DRIVE_C/tools/" 2>/dev/null

# ---- helpers for scenarios ---------------------------------------------------------------

. "$here/common/prefix_helpers.sh"

# run_purgekit TRANSCRIPT: runs the program from C:\work, stdin from /dev/null, with the
# variant's DLL overrides (or through the launcher: run_launcher).
run_purgekit() {
    if [ -n "$LAUNCHER" ]; then
        run_launcher "$1"
        return
    fi
    (cd "$WORK" &&
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES${PURGEKIT_DLLOVERRIDES:+;$PURGEKIT_DLLOVERRIDES}" \
            win purgekit.exe </dev/null >"$1" 2>"$1.stderr")
    local status=$?
    [ "$status" -eq 0 ] || fail "purgekit.exe exited with $status"
}

# compare EXPECTED ACTUAL [--wine-processes]
compare() {
    python3 "$here/compare_output.py" "$@" ${LAUNCHER:+--ignore-process purgekit-unattended.exe} ||
        fail "$(basename "$2") differs from $(basename "$1")"
}

# ---- runs through the unattended launcher ------------------------------------------------

LAUNCHER_RUNS=0
LAUNCHER_ARGS="--work 'C:\\work' --results 'C:\\results'"   # as a shell reads it
EXIT_OF_OUTCOME="clean=0 cleaned=194 incomplete=1 failed=1"   # 3010 arrives as 194

# reboot: every process of the prefix ends with its Wine server; the next program starts anew.
reboot() {
    WINEPREFIX=$PREFIX "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$PREFIX "$WINESERVER" -w >/dev/null 2>&1
}

# run_launcher TRANSCRIPT: one run of the launcher; its console file becomes the transcript.
run_launcher() {
    local transcript=$1 status expected code before console
    LAUNCHER_RUNS=$((LAUNCHER_RUNS + 1))
    expected=$(cut -d' ' -f"$LAUNCHER_RUNS" <<<"${PURGEKIT_LAUNCHER_OUTCOMES:-}")
    [ "$LAUNCHER_RUNS" -gt 1 ] && reboot
    before=$(cd "$WORK" && ls console-*.txt 2>/dev/null)
    if [ "$LAUNCHER_CONSOLE" = pty ]; then
        # A terminal nobody types on: its input stays open and empty.
        local keys=$RESULTS/keys.$LAUNCHER_RUNS
        mkfifo "$keys"
        (cd "$WORK" && WINEPREFIX=$PREFIX script -qfec \
            "'$(wine_loader "$PREFIX")' purgekit-unattended.exe $LAUNCHER_ARGS" \
            "$transcript.launcher" <"$keys" >/dev/null 2>&1) &
        local pid=$!
        exec 3>"$keys"
        wait "$pid"
        status=$?
        exec 3>&-
    else
        (cd "$WORK" && eval "win purgekit-unattended.exe $LAUNCHER_ARGS" \
            </dev/null >"$transcript.launcher" 2>"$transcript.launcher-stderr")
        status=$?
    fi
    console=$(cd "$WORK" && ls console-*.txt 2>/dev/null | grep -vxF "$before" | tail -n 1)
    if [ -z "$console" ]; then
        fail "run $LAUNCHER_RUNS of the launcher left no console file"
        return
    fi
    cp "$WORK/$console" "$transcript"
    # Each of the three memory passes lists the launcher's processes: under the display its two
    # instances (the cleaner ran in the console instance's new console); under a terminal,
    # whose new consoles take no key records under Wine, the one that runs it in its own.
    local instances=2 listed
    [ "$LAUNCHER_CONSOLE" = pty ] && instances=1
    listed=$(grep -c 'Scanning .*purgekit-unattended\.exe' "$transcript")
    [ "$listed" = $((3 * instances)) ] ||
        fail "run $LAUNCHER_RUNS: the passes list the launcher $listed times, expected $((3 * instances))"
    code=$(tr ' ' '\n' <<<"$EXIT_OF_OUTCOME" | sed -n "s/^$expected=//p")
    [ "$status" = "$code" ] || fail "run $LAUNCHER_RUNS of the launcher exited with $status, expected $code ($expected)"
    # Its one line, blanks and a terminal's cursor controls taken out.
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$transcript.launcher" | tr -d ' \r' |
        grep -qF ":$expected;resultsinC:\\results\\" ||
        fail "run $LAUNCHER_RUNS: the launcher's line does not say $expected: $(cat "$transcript.launcher")"
}

# check_launcher_results: C:\results\<computer> holds the whole log, every console file and a
# record per run, as the work folder does.
check_launcher_results() {
    local folders folder name
    folders=$(find "$DRIVE_C/results" -mindepth 1 -maxdepth 1 -type d 2>/dev/null)
    [ "$(wc -l <<<"$folders")" = 1 ] && [ -n "$folders" ] ||
        { fail "C:\\results holds not one computer's folder: $folders"; return; }
    folder=$folders
    cmp -s "$folder/PURGEKIT.LOG" "$WORK/PURGEKIT.LOG" || fail "the results' log is not the local log"
    cmp -s "$folder/runs.jsonl" "$WORK/runs.jsonl" || fail "the results' runs.jsonl is not the local one"
    for name in $(cd "$WORK" && ls console-*.txt); do
        cmp -s "$folder/$name" "$WORK/$name" || fail "the results' $name is not the local one"
    done
    # shellcheck disable=SC2086
    python3 "$here/unattended/check_runs.py" "$folder" ${PURGEKIT_LAUNCHER_OUTCOMES:-} ||
        fail "the results' runs.jsonl"
}

# remove_blocking_folders: takes away the folders an inoculation left in the system folder, so
# the next run starts from a system folder that was never inoculated.
remove_blocking_folders() {
    local name
    for name in Krn132.exe Wqk.exe Wqk.dll WinSvc.exe; do
        [ -d "$SYSDIR/$name" ] && rmdir "$SYSDIR/$name"
    done
    return 0
}


plant() { :; }
after() { :; }
scenario_main() {
    plant
    run_purgekit "$RESULTS/stdout.txt"
    compare "$EXPECTED_DIR/expected-stdout.txt" "$RESULTS/stdout.txt" --wine-processes
    compare "$EXPECTED_DIR/expected-log.txt" "$WORK/PURGEKIT.LOG" --wine-processes
    after
}

# ---- the scenario ------------------------------------------------------------------------
. "$SCENARIO_DIR/scenario.sh"
wine_identity "$PREFIX" "$IDENTITY" || fail "cannot set the identity $IDENTITY"
scenario_main
[ -n "$LAUNCHER" ] && check_launcher_results
cp "$WORK/PURGEKIT.LOG" "$RESULTS/PURGEKIT.LOG" 2>/dev/null
if [ "$FAILURES" -ne 0 ]; then
    echo "scenario $SCENARIO: $FAILURES failure(s); results kept in $RESULTS"
    trap - EXIT
    for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wine_drop_prefix "$PREFIX"
    exit 1
fi
echo "scenario $SCENARIO: passed"
