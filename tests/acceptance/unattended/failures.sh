#!/usr/bin/env bash
# failures.sh TEMPLATE PURGEKIT_EXE LAUNCHER TOOLS_DIR SAMPLES_DIR
#
# The unattended launcher where things go wrong, in one prefix under a virtual display (and one
# without any display), each row checking the exit code, what standard error says, the record
# in runs.jsonl and that the cleaner was or was not started:
#   - the control: the same hidden console without the queued keys (tools: noqueue.exe) keeps
#     purgekit.exe at its opening banner until the time is up, with no log;
#   - a cleaner that never ends (a stand-in named purgekit.exe) is ended at --timeout: failed;
#   - no purgekit.exe beside the launcher, or one that is no program: failed;
#   - a CRTDLL.DLL, PSAPI.DLL or SHLWAPI.DLL in the launcher's folder: the cleaner is not
#     started;
#   - a results folder that cannot be made: exit 1, the results stay in the (default) work
#     folder, the Windows folder's PURGEKIT;
#   - a usage error: exit 2;
#   - no display and no terminal (Wine gives no console that takes key records): failed, and
#     the record says why.
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
SCENARIO=unattended-failures
FAILURES=0
BACKGROUND_PIDS=()
RESULTS=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-unattended.XXXXXX")
PREFIX=$(wine_new_prefix "$TEMPLATE") || { echo "cannot copy the template prefix"; exit 1; }
DARK_PREFIX=""
cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wine_drop_prefix "$PREFIX"
    wine_drop_prefix "$DARK_PREFIX"
    rm -rf "$RESULTS"
}
trap cleanup EXIT
DRIVE_C=$PREFIX/drive_c
SYSDIR=$(wine_system_folder "$PREFIX")
. "$here/../common/prefix_helpers.sh"
mkdir -p "$DRIVE_C/tools"
cp "$TOOLS_DIR"/*.exe "$SAMPLES_DIR"/*.exe "$DRIVE_C/tools/"

# kit FOLDER [CLEANER]: the launcher and a cleaner (default: the real one) in C:\FOLDER.
kit() {
    mkdir -p "$DRIVE_C/$1"
    cp "$LAUNCHER" "$DRIVE_C/$1/purgekit-unattended.exe"
    cp "${2:-$PURGEKIT_EXE}" "$DRIVE_C/$1/purgekit.exe"
}

# launch ROW PROGRAM ARGS...: runs it with no standard input; output in $RESULTS/ROW.out and
# ROW.err, its exit code in STATUS.
launch() {
    local row=$1
    shift
    win "$@" </dev/null >"$RESULTS/$row.out" 2>"$RESULTS/$row.err"
    STATUS=$?
}

# expect ROW STATUS TEXT: the exit code, and TEXT in standard error.
expect() {
    [ "$STATUS" = "$2" ] || fail "$1: exit code $STATUS, expected $2"
    grep -qF -- "$3" "$RESULTS/$1.err" || fail "$1: standard error lacks \"$3\": $(cat "$RESULTS/$1.err")"
}

runs() { python3 "$here/check_runs.py" "$@" || fail "runs.jsonl in $1"; }

# ---- the control: the hidden console without queued keys ------------------------------------
# The banner and its prompt come, and then nothing: no log, the program still waiting, until the
# control is told to stop (C:\control-work\stop).
kit control
cp "$DRIVE_C/tools/noqueue.exe" "$DRIVE_C/control/"
mkdir -p "$DRIVE_C/control-work"
(cd "$DRIVE_C/control-work" && win 'C:\control\noqueue.exe' stop console.txt </dev/null >/dev/null 2>&1
 echo $? >"$RESULTS/control.status") &
BACKGROUND_PIDS+=($!)
for i in $(seq 1 120); do
    grep -q 'Press any key to continue\.\.\.\.' "$DRIVE_C/control-work/console.txt" 2>/dev/null && break
    sleep 0.5
done
sleep 2
[ ! -e "$RESULTS/control.status" ] || fail "control: purgekit.exe did not wait at its banner"
expect_no_file "$DRIVE_C/control-work/PURGEKIT.LOG"
touch "$DRIVE_C/control-work/stop"
for i in $(seq 1 120); do [ -e "$RESULTS/control.status" ] && break; sleep 0.5; done
[ "$(cat "$RESULTS/control.status" 2>/dev/null)" = 3 ] ||
    fail "control: purgekit.exe was not still waiting when told to stop ($(cat "$RESULTS/control.status" 2>/dev/null))"
expect_no_file "$DRIVE_C/control-work/PURGEKIT.LOG"
printf '@@include intro-banner' >"$RESULTS/banner-only.txt"
python3 "$here/../compare_output.py" "$RESULTS/banner-only.txt" "$DRIVE_C/control-work/console.txt" ||
    fail "control: the console shows more than the opening banner and its prompt"

# ---- a cleaner that never ends -----------------------------------------------------------------
kit stuck "$DRIVE_C/tools/standin-a.exe"
launch stuck 'C:\stuck\purgekit-unattended.exe' --work 'C:\stuck-work' --timeout 3
expect stuck 1 "purgekit.exe did not end within 3 s and was ended"
runs "$DRIVE_C/stuck-work" --reason "did not end within 3 s" failed
process_running purgekit.exe && fail "stuck: the stand-in still runs after the timeout"

# ---- no cleaner beside the launcher, or none that starts -----------------------------------------
mkdir -p "$DRIVE_C/alone"
cp "$LAUNCHER" "$DRIVE_C/alone/purgekit-unattended.exe"
launch alone 'C:\alone\purgekit-unattended.exe' --work 'C:\alone-work'
expect alone 1 "purgekit.exe not found: C:\alone\purgekit.exe"
runs "$DRIVE_C/alone-work" --reason "not found" failed
kit junk
echo "not a program" >"$DRIVE_C/junk/purgekit.exe"
launch junk 'C:\junk\purgekit-unattended.exe' --work 'C:\junk-work'
expect junk 1 "purgekit.exe cannot be started (error 193)"
runs "$DRIVE_C/junk-work" --reason "cannot be started" failed

# ---- a library beside the cleaner that the loader would take ---------------------------------
for library in CRTDLL.DLL PSAPI.DLL SHLWAPI.DLL; do
    kit "planted-$library"
    echo "not a library" >"$DRIVE_C/planted-$library/$library"
    launch "planted-$library" "C:\\planted-$library\\purgekit-unattended.exe" --work "C:\\planted-work-$library"
    expect "planted-$library" 1 "refused to start purgekit.exe: its folder holds $library"
    expect_no_file "$DRIVE_C/planted-work-$library/PURGEKIT.LOG"
    runs "$DRIVE_C/planted-work-$library" --reason "holds $library" failed
done

# ---- a results folder that cannot be made; the default work folder -----------------------------
kit clean
echo "a file, not a folder" >"$DRIVE_C/results-file"
launch results 'C:\clean\purgekit-unattended.exe' --results 'C:\results-file'
expect results 1 "the results cannot be written: C:\\results-file"
grep -qF ": clean; results in C:\\windows\\PURGEKIT" "$RESULTS/results.out" ||
    fail "results: the launcher's line does not name the work folder: $(cat "$RESULTS/results.out")"
grep -q '^Stop' "$DRIVE_C/windows/PURGEKIT/PURGEKIT.LOG" 2>/dev/null ||
    fail "results: the log in the Windows folder's PURGEKIT holds no whole run"
runs "$DRIVE_C/windows/PURGEKIT" clean

# ---- usage errors --------------------------------------------------------------------------------
for arguments in "--timeout 0" "--work" "--results C:\\x --results C:\\y" "--unknown"; do
    # shellcheck disable=SC2086
    launch usage 'C:\clean\purgekit-unattended.exe' $arguments
    expect usage 2 "usage: purgekit-unattended.exe"
done

# ---- no display and no terminal --------------------------------------------------------------------
DARK_PREFIX=$(wine_new_prefix "$TEMPLATE") || fail "cannot copy the template prefix"
mkdir -p "$DARK_PREFIX/drive_c/kit"
cp "$LAUNCHER" "$DARK_PREFIX/drive_c/kit/purgekit-unattended.exe"
cp "$PURGEKIT_EXE" "$DARK_PREFIX/drive_c/kit/purgekit.exe"
(unset DISPLAY; PREFIX=$DARK_PREFIX; launch dark 'C:\kit\purgekit-unattended.exe' --work 'C:\kit'
 echo "$STATUS" >"$RESULTS/dark.status")
STATUS=$(cat "$RESULTS/dark.status")
expect dark 1 "WriteConsoleInputA failed"
expect_no_file "$DARK_PREFIX/drive_c/kit/PURGEKIT.LOG"
runs "$DARK_PREFIX/drive_c/kit" --reason "in the launcher's own console: no console" failed

if [ "$FAILURES" -ne 0 ]; then
    echo "unattended failures: $FAILURES failure(s)"
    for file in "$RESULTS"/*.out "$RESULTS"/*.err; do echo "== $file"; cat "$file"; done
    exit 1
fi
echo "unattended failures: passed"
