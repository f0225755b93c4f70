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

# win_quiet PROGRAM ARGS...: the same, output discarded; fails the scenario when it fails.
win_quiet() { win "$@" >/dev/null 2>&1 </dev/null || fail "setup step failed: $*"; }

# reg_add KEY VALUE DATA [TYPE]
reg_add() { win_quiet reg add "$1" /v "$2" /d "$3" /t "${4:-REG_SZ}" /f; }

# reg_has_value KEY VALUE / reg_has_key KEY: exit status tells.
reg_has_value() { win reg query "$1" /v "$2" >/dev/null 2>&1 </dev/null; }
reg_has_key() { win reg query "$1" >/dev/null 2>&1 </dev/null; }

# sc_create NAME BINPATH: a real service known to the service control manager.
sc_create() { win_quiet sc create "$1" binpath= "$2"; }
# service_exists NAME: the service control manager still knows it.
service_exists() { win sc query "$1" 2>/dev/null </dev/null | grep -q SERVICE_NAME; }

# plant_file WINDOWS_PATH TEXT: writes a file through a Windows program.
plant_file() { win_quiet cmd /c "echo $2> $1"; }

# attrib_set WINDOWS_PATH FLAG: one flag per call (attrib applies only the last one).
attrib_set() { win_quiet attrib "$2" "$1"; }

# hold_open [/dir] WINDOWS_PATH: another process holds it open without any sharing.
hold_open() {
    local fifo=$RESULTS/hold.$RANDOM
    mkfifo "$fifo"
    win 'C:\tools\holdopen.exe' "$@" >"$fifo" 2>/dev/null </dev/null &
    BACKGROUND_PIDS+=($!)
    if ! timeout 30 head -n1 "$fifo" | grep -q held; then fail "could not hold open: $*"; fi
    rm -f "$fifo"
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
process_running() { win 'C:\tools\launch.exe' /running "$1" >/dev/null 2>&1 </dev/null; }

expect_file() { [ -e "$1" ] || fail "expected to exist: $1"; }
expect_no_file() { [ ! -e "$1" ] || fail "expected to be gone: $1"; }
