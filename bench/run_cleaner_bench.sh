#!/usr/bin/env bash
# run_cleaner_bench.sh [BUILD_ROOT]: the cleaner's clean run against an empty program, under
# Wine, for both builds of BUILD_ROOT (default build/: win64 and i686, as scripts/build.sh
# makes them), measured in the same run.
#
# Each round takes a fresh copy of the build's booted template prefix with the Windows XP
# identity and nothing planted (the clean-winxp scenario's state), keeps one idle process in it
# so that the Wine server and its service manager are up and stay up, runs the empty program
# once to warm up, then times the empty program and purgekit.exe, each from C:\work with
# standard input from /dev/null, two ways:
#   file     standard output to a file (as the scenarios run it)
#   console  under a terminal (script(1)), two key presses queued for the two key waits: Wine
#            gives the program a console, as a user at the keyboard has; the empty program
#            makes the same two key waits ("empty.exe /keys"), whose cost is Wine's console's
# RUNS rounds (default 7); the medians and their difference are printed per build and way.
# One more, untimed, traced run of each way counts the writes: to the standard output file,
# and to the terminal (Wine's console host writes what the program writes to its console).
# One write per message is the aim, one per character the fault.
#
# PURGEKIT_EXE_64 / PURGEKIT_EXE_32 replace the builds' purgekit.exe (to measure an older one
# against the same baseline).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build_root=${1:-$root/build}
runs=${RUNS:-7}
. "$root/tests/wine/wine_env.sh"
"$root/scripts/deps.sh" strace python3 bsdutils

now_ms() { date +%s%N | cut -c1-13; }
median() { python3 -c 'import statistics, sys; print(round(statistics.median(map(float, sys.argv[1:]))))' "$@"; }

# start_program WAY PROGRAM: runs PROGRAM in $prefix from C:\work, the given way.
start_program() {
    local way=$1 program=$2
    cd "$prefix/drive_c/work"
    if [ "$way" = console ]; then
        [ "$program" = empty.exe ] && program="empty.exe /keys"
        printf 'kk' | WINEPREFIX=$prefix script -qfec "'$loader' $program" /dev/null >/dev/null 2>&1
    else
        WINEPREFIX=$prefix "$loader" "$program" </dev/null >"$work/out.txt" 2>/dev/null
    fi
}

# time_ms WAY PROGRAM: its wall time in ms.
time_ms() {
    local start end
    start=$(now_ms)
    (start_program "$1" "$2")
    end=$(now_ms)
    echo $((end - start))
}

# count_writes WAY: one traced clean run; prints the bytes and the writes that reached the
# standard output file or the terminal.
count_writes() {
    local way=$1 target
    (WINEPREFIX=$prefix strace -f -qq -y -e signal=none -e trace=write,writev,pwrite64 \
        -o "$work/strace" bash -c "$(declare -f start_program); prefix='$prefix' loader='$loader' \
        work='$work'; start_program $way purgekit.exe")
    if [ "$way" = console ]; then target='/dev/pts/'; else target="$work/out.txt>"; fi
    printf '%s writes' "$(grep -cE "^[0-9]+ +(write|writev|pwrite64)\([0-9]+<$target" "$work/strace" || true)"
    [ "$way" = file ] && printf ' for %s bytes' "$(stat -c %s "$work/out.txt")"
    echo
}

bench_build() {
    local bits=$1 build=$2 exe=$3 template empty holder i way file
    local -A times=() writes=()
    template=$build/wine-template
    empty=$build/tests/tools/empty.exe
    for file in "$exe" "$empty"; do
        [ -f "$file" ] || { echo "missing: $file (scripts/build.sh builds it)"; exit 1; }
    done
    bash "$root/tests/wine/make_template.sh" "$template" "$bits" >/dev/null
    if [ "$bits" = 32 ]; then loader=$(wine32_loaders)/wine; else loader=$WINE64; fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-bench.XXXXXX")
    for i in $(seq 0 "$runs"); do
        prefix=$(wine_new_prefix "$template")
        wine_identity "$prefix" winxp
        mkdir -p "$prefix/drive_c/work"
        cp "$exe" "$prefix/drive_c/work/purgekit.exe"
        cp "$empty" "$build/tests/tools/holdopen.exe" "$prefix/drive_c/work/"
        WINEPREFIX=$prefix "$loader" 'C:\work\holdopen.exe' 'C:\work\idle.lock' \
            >"$work/held" 2>/dev/null </dev/null &
        holder=$!
        for _ in $(seq 1 300); do grep -q held "$work/held" 2>/dev/null && break; sleep 0.1; done
        time_ms file empty.exe >/dev/null
        for way in file console; do
            if [ "$i" -eq 0 ]; then
                writes[$way]=$(count_writes "$way")
            else
                times[$way.empty]+=" $(time_ms "$way" empty.exe)"
                times[$way.clean]+=" $(time_ms "$way" purgekit.exe)"
            fi
        done
        kill "$holder" 2>/dev/null || true
        wine_drop_prefix "$prefix"
        wait "$holder" 2>/dev/null || true
    done
    rm -rf "$work"
    printf '%s-bit  %s\n' "$bits" "$exe"
    for way in file console; do
        local empty_ms clean_ms
        # shellcheck disable=SC2086
        empty_ms=$(median ${times[$way.empty]})
        # shellcheck disable=SC2086
        clean_ms=$(median ${times[$way.clean]})
        printf '  %-7s  empty program %5d ms   clean run %5d ms   difference %5d ms   ratio %s\n' \
            "$way" "$empty_ms" "$clean_ms" "$((clean_ms - empty_ms))" \
            "$(python3 -c "print(f'{$clean_ms / max($empty_ms, 1):.2f}')")"
        printf '           runs: empty%s; clean%s\n' "${times[$way.empty]}" "${times[$way.clean]}"
        printf '           output of one clean run: %s\n' "${writes[$way]}"
    done
}

echo "clean run (winxp, nothing planted) against an empty program; medians of $runs runs"
bench_build 64 "$build_root/win64" "${PURGEKIT_EXE_64:-$build_root/win64/src/purgekit.exe}"
bench_build 32 "$build_root/i686" "${PURGEKIT_EXE_32:-$build_root/i686/src/purgekit.exe}"
