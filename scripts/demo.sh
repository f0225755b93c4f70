#!/usr/bin/env bash
# The demonstration: builds everything, plants the typical infection in a fresh, throwaway
# Wine prefix (Windows XP identity), runs purgekit.exe there, and shows the transcript, the
# log, what remains of the infection, and the blocking folders. Nothing outside that prefix
# is touched; the prefix is removed at the end.
#
# It runs what a user gets: the shipped 32-bit purgekit.exe (build/i686, the file of the
# release zip) with the 32-bit stand-in, under the private 32-bit Wine root; every program it
# starts in the prefix is 32-bit, as on a 32-bit Windows. PURGEKIT_BUILD_DIR names another
# build (the 64-bit one runs under the system's wine64).
#
# The typical infection: the worm (a harmless stand-in program that carries the variant A
# patterns) runs from the system folder as krn132.exe; a Krn132 service names it in its
# ImagePath; a KernelSvc service key; a Run value starts it; and the dropped files wqk.exe,
# wqk.dll and WinSvc.exe lie beside it in the system folder.
#
# Then a small outbreak (scripts/demo_outbreak.sh), as an admin cleans a network: three more
# machines (infected, clean, one whose dropped file cannot be deleted) cleaned unattended, as a
# start-up script or PsExec would do it: purgekit-unattended.exe runs purgekit.exe in a hidden
# console of its own with its key prompts answered, under a virtual display (Xvfb) with nobody
# at the console, and files the log, the console output and the run's record in a shared
# results folder; a file server's share swept by purgekit-scan, its dormant copies moved into a
# quarantine; and the outbreak report of it all written by purgekit-report. The report stays in
# BUILD/demo-outbreak/report (PURGEKIT_DEMO_OUT names another folder).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# PURGEKIT_DEMO_PREBUILT=1: use the build that is there (the test of this demonstration).
if [ -z "${PURGEKIT_DEMO_PREBUILT:-}" ]; then
    "$root/scripts/deps.sh"
    echo "== Building"
    "$root/scripts/build.sh" >/dev/null
fi
build=${PURGEKIT_BUILD_DIR:-$root/build/i686}
standin=$(find "$build" -name standin-a.exe -print -quit)
[ -n "$standin" ] || { echo "the variant A stand-in was not built"; exit 1; }
exe=$build/src/purgekit.exe
[ -f "$exe" ] || { echo "purgekit.exe was not built in $build"; exit 1; }
# The PE machine field tells the build apart: 014c is i386.
pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = 014c ]; then bits=32; else bits=64; fi

. "$root/tests/wine/wine_env.sh"
if [ "$bits" = 32 ]; then
    "$root/scripts/wine32_root.sh"
    echo "== The build: the shipped 32-bit purgekit.exe, $exe"
    echo "   (the file of the release zip), under the private 32-bit Wine root"
else
    echo "== The build: the 64-bit purgekit.exe, $exe, under wine64"
fi
launcher=$build/src/purgekit-unattended.exe
[ -f "$launcher" ] || { echo "purgekit-unattended.exe was not built in $build"; exit 1; }
echo "== Booting a fresh Wine prefix"
wine_boot_template "$build/wine-template" "$bits"
prefix=$(wine_new_prefix "$build/wine-template")
worm_pid=""
cleanup() {
    # A prefix whose Wine server has ended already (idle) is removed all the same.
    set +e
    if [ -n "$worm_pid" ]; then kill "$worm_pid" 2>/dev/null; fi
    wine_drop_prefix "$prefix"
}
trap cleanup EXIT
win() { wine_run "$prefix" "$@" </dev/null; }
wine_identity "$prefix" winxp
sys='C:\windows\system32'
sysdir=$(wine_system_folder "$prefix")

# plant_infection: the typical infection in the prefix, the worm running.
plant_infection() {
    mkdir -p "$prefix/drive_c/tools" "$prefix/drive_c/work"
    cp "$standin" "$prefix/drive_c/tools/standin-a.exe"
    win cmd /c copy 'C:\tools\standin-a.exe' "$sys\\krn132.exe" >/dev/null
    # A 32-bit image of the system folder lies in syswow64; the 32-bit loader starts it by its
    # C:\windows\system32 path through a link of the same name there.
    if [ "$bits" = 32 ]; then
        ln -s ../syswow64/krn132.exe "$prefix/drive_c/windows/system32/krn132.exe"
    fi
    (wine_run "$prefix" "$sys\\krn132.exe" </dev/null >/dev/null 2>&1) &
    worm_pid=$!
    wine_sc "$prefix" create Krn132 binpath= "$sys\\krn132.exe" </dev/null >/dev/null
    wine_sc "$prefix" create KernelSvc binpath= "$sys\\krn132.exe" </dev/null >/dev/null
    wine_reg "$prefix" add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v krn132 \
        /d "$sys\\krn132.exe" /f </dev/null >/dev/null
    for dropped in wqk.exe wqk.dll WinSvc.exe; do
        win cmd /c "echo dropped> $sys\\$dropped"
    done
    sleep 2
}

# Wine's processes show as host processes named after their Windows command line; only those
# of this prefix count (other prefixes on this machine may run a krn132.exe of their own).
worm_processes() {
    local count=0 pid
    for pid in $(pgrep -i -f 'krn132\.exe'); do
        # A process may end between the listing and the read: no message then.
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix" &&
            count=$((count + 1))
    done
    echo "$count"
}

# show_remains: what is left of the infection, and the blocking folders.
show_remains() {
    echo "worm processes running (krn132.exe): $(worm_processes)"
    for service in Krn132 KernelSvc; do
        if wine_sc "$prefix" query "$service" 2>/dev/null </dev/null | grep -q SERVICE_NAME; then
            echo "service $service: still there"
        else
            echo "service $service: gone"
        fi
    done
    if wine_reg "$prefix" query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v krn132 \
            </dev/null >/dev/null 2>&1; then
        echo "Run value krn132: still there"
    else
        echo "Run value krn132: gone"
    fi
    for name in krn132.exe wqk.exe wqk.dll WinSvc.exe; do
        entry=$(find "$sysdir" -maxdepth 1 -iname "$name" -print -quit)
        if [ -z "$entry" ]; then
            echo "$name: nothing in the system folder"
        elif [ -d "$entry" ]; then
            echo "$name: blocking folder $(basename "$entry")"
        else
            echo "$name: a file is still there"
        fi
    done
}

echo "== Planting the infection"
plant_infection
echo "   worm processes running (krn132.exe): $(worm_processes)"

echo "== Running purgekit.exe in C:\\work (the key prompts are answered at once)"
cp "$exe" "$prefix/drive_c/work/"
(cd "$prefix/drive_c/work" && win purgekit.exe >transcript.txt)
echo "---------------------------------------------------------------- console transcript"
tr -d '\r' <"$prefix/drive_c/work/transcript.txt"
echo
echo "---------------------------------------------------------------- PURGEKIT.LOG"
tr -d '\r' <"$prefix/drive_c/work/PURGEKIT.LOG"
echo
echo "---------------------------------------------------------------- what remains"
show_remains

echo
echo "== A small outbreak: many machines cleaned unattended, a share swept, one report"
bash "$root/scripts/demo_outbreak.sh" "$build" "${PURGEKIT_DEMO_OUT:-$build/demo-outbreak}"
