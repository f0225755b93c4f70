# Helpers that set up and inspect the system of a Windows machine in a Wine prefix, for the
# acceptance scenarios (run_scenario.sh) and the unattended network test. Source this file
# after ../../wine/wine_env.sh; the caller sets
#   PREFIX  the prefix (the machine)         DRIVE_C  its C: folder
#   SYSDIR  what its programs see as C:\windows\system32 (wine_system_folder)
#   RESULTS a folder for the test's own files  SCENARIO  the name failures are reported under
# and keeps BACKGROUND_PIDS (processes started in the background) and FAILURES (a count).

fail() { echo "FAIL [$SCENARIO]: $*"; FAILURES=$((FAILURES + 1)); }

# win PROGRAM ARGS...: runs a Windows program in the scenario's prefix; `win reg ...` works on
# the registry view of the program under test (see wine_reg and wine_sc).
win() {
    case ${1,,} in
        reg) shift; wine_reg "$PREFIX" "$@" ;;
        sc) shift; wine_sc "$PREFIX" "$@" ;;
        *) wine_run "$PREFIX" "$@" ;;
    esac
}

# win_quiet PROGRAM ARGS...: a setup step, output discarded. A step that fails is tried again,
# up to 5 times a second apart, since on a busy machine a program may fail to start or to get
# an answer in time; so every such step must be repeatable (it sets what it sets, however often
# it runs). The scenario fails when it never succeeds.
win_quiet() {
    local attempt
    for attempt in 1 2 3 4 5; do
        win "$@" >/dev/null 2>&1 </dev/null && return 0
        sleep 1
    done
    fail "setup step failed: $*"
}

# ---- queries that hold on a busy machine -------------------------------------------------
# A query of the system answers yes (0), no (1), or nothing (2): the program did not start, or
# the registry or the service control manager did not answer in time, as happens on a loaded
# machine (Wine's sc.exe and a failed start alike exit 1). Only a yes or a no counts: a query
# without an answer is asked again, QUERY_ATTEMPTS times a second apart, and if it never
# answers the scenario fails saying so, instead of taking the silence for a no.
QUERY_ATTEMPTS=30
QUERY_ANSWER=""   # what the last query printed

# answered WHAT QUERY ARGS...: runs the query until it answers; its answer is the exit status.
answered() {
    local what=$1 attempt status
    shift
    for attempt in $(seq 1 "$QUERY_ATTEMPTS"); do
        "$@"
        status=$?
        [ "$status" -le 1 ] && return "$status"
        sleep 1
    done
    fail "no answer whether $what, asked $QUERY_ATTEMPTS times; the last: $QUERY_ANSWER"
    return 2
}

# reg_query_once ARGS...: Wine's reg query in the C locale: found, or "Unable to find".
reg_query_once() {
    local status
    QUERY_ANSWER=$(export LC_ALL=C; unset LANGUAGE; win reg query "$@" 2>&1 </dev/null)
    status=$?
    QUERY_ANSWER=${QUERY_ANSWER//$'\r'/}
    [ "$status" -eq 0 ] && return 0
    [ "$status" -eq 1 ] && grep -q 'Unable to find the specified registry' <<<"$QUERY_ANSWER" &&
        return 1
    return 2
}

# service_query_once NAME: C:\tools\svcquery.exe, which tells a missing service (error 1060)
# from a service manager that could not be asked.
service_query_once() {
    local status
    QUERY_ANSWER=$(win 'C:\tools\svcquery.exe' "$1" 2>&1 </dev/null)
    status=$?
    QUERY_ANSWER=${QUERY_ANSWER//$'\r'/}
    case $status:$QUERY_ANSWER in
        0:exists) return 0 ;;
        1:absent) return 1 ;;
    esac
    return 2
}

# process_query_once NAME: C:\tools\launch.exe /running.
process_query_once() {
    local status
    QUERY_ANSWER=$(win 'C:\tools\launch.exe' /running "$1" 2>&1 </dev/null)
    status=$?
    QUERY_ANSWER=${QUERY_ANSWER//$'\r'/}
    case $status:$QUERY_ANSWER in
        0:running) return 0 ;;
        1:"not running") return 1 ;;
    esac
    return 2
}

# reg_query ARGS...: reg query until it answers; QUERY_ANSWER holds what it printed.
reg_query() { answered "reg query $* finds it" reg_query_once "$@"; }

# reg_add KEY VALUE DATA [TYPE]
reg_add() { win_quiet reg add "$1" /v "$2" /d "$3" /t "${4:-REG_SZ}" /f; }

# reg_delete_value KEY VALUE: the value is gone afterwards (a deletion that failed is tried
# again unless the value is gone after all).
reg_delete_value() {
    local attempt
    for attempt in 1 2 3 4 5; do
        win reg delete "$1" /v "$2" /f >/dev/null 2>&1 </dev/null && return 0
        reg_query_once "$1" /v "$2"
        [ $? -eq 1 ] && return 0
        sleep 1
    done
    fail "setup step failed: reg delete $1 /v $2"
}

# reg_has_value KEY VALUE / reg_has_key KEY: exit status tells.
reg_has_value() { reg_query "$1" /v "$2"; }
reg_has_key() { reg_query "$1"; }

# sc_create NAME BINPATH: a real service known to the service control manager; a creation that
# failed is tried again unless the manager knows the service after all.
sc_create() {
    local attempt
    for attempt in 1 2 3 4 5; do
        win sc create "$1" binpath= "$2" >/dev/null 2>&1 </dev/null && return 0
        service_query_once "$1" && return 0
        sleep 1
    done
    fail "setup step failed: sc create $1"
}
# service_exists NAME: the service control manager still knows it.
service_exists() { answered "the service $1 exists" service_query_once "$1"; }

# plant_file WINDOWS_PATH TEXT: writes a file through a Windows program.
plant_file() { win_quiet cmd /c "echo $2> $1"; }

# attrib_set WINDOWS_PATH FLAG: one flag per call (attrib applies only the last one).
attrib_set() { win_quiet attrib "$2" "$1"; }

# hold_open [/dir] WINDOWS_PATH: another process holds it open without any sharing. A start
# that does not get that far (on a busy machine, or while a Wine server that was just ended
# still goes away) is tried again, up to 5 times a second apart.
hold_open() {
    local attempt fifo pid err=$RESULTS/hold.err.$RANDOM
    for attempt in 1 2 3 4 5; do
        fifo=$RESULTS/hold.$RANDOM
        mkfifo "$fifo"
        win 'C:\tools\holdopen.exe' "$@" >"$fifo" 2>"$err" </dev/null &
        pid=$!
        if timeout 30 head -n1 "$fifo" | grep -q held; then
            BACKGROUND_PIDS+=("$pid")
            rm -f "$fifo" "$err"
            return 0
        fi
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        rm -f "$fifo"
        sleep 1
    done
    fail "could not hold open: $* ($(cat "$err" 2>/dev/null))"
    rm -f "$err"
}

# copy_file WINDOWS_SOURCE WINDOWS_DESTINATION: copies a file through a Windows program.
copy_file() { win_quiet cmd /c copy /y "$1" "$2"; }

# link_system_images WINDOWS_PATH...: in a 32-bit prefix, the images of the system folder lie
# in syswow64, but the 32-bit loader does not redirect the path it is asked to start; a link
# of the same name in the Unix system32 folder lets each start as C:\windows\system32\NAME.
link_system_images() {
    [ "$(wine_bits "$PREFIX")" = 32 ] || return 0
    local path name image
    for path in "$@"; do
        case ${path,,} in
            'c:\windows\system32\'*) name=${path##*\\} ;;
            *) continue ;;
        esac
        image=$(find "$SYSDIR" -maxdepth 1 -iname "$name" -print -quit)
        [ -n "$image" ] && [ ! -e "$DRIVE_C/windows/system32/$name" ] &&
            ln -s "../syswow64/$(basename "$image")" "$DRIVE_C/windows/system32/$name"
    done
    return 0
}

# start_process [/then NEXT] WINDOWS_PATH [ARGS...]: starts a Windows program in the
# background through C:\tools\launch.exe and returns once it runs (its executable can be
# named). With /then NEXT, launch.exe stays until the program has ended and then starts NEXT
# (a copy of launch.exe, which idles). Everything started ends with the prefix.
start_process() {
    local out=$RESULTS/launch.$RANDOM i
    link_system_images "$@"
    win 'C:\tools\launch.exe' "$@" >"$out" 2>&1 </dev/null &
    BACKGROUND_PIDS+=($!)
    for i in $(seq 1 300); do
        grep -q '^started' "$out" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "could not start: $* ($(cat "$out"))"
}

# process_running NAME: a process whose executable file is named NAME runs (exit status).
process_running() { answered "$1 runs" process_query_once "$1"; }

expect_file() { [ -e "$1" ] || fail "expected to exist: $1"; }
expect_no_file() { [ ! -e "$1" ] || fail "expected to be gone: $1"; }
