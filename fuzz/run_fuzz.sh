#!/usr/bin/env bash
# run_fuzz.sh build|replay|fuzz BUILD_DIR [SECONDS]
#   build   configures and builds the native scan, its fuzz target, replay runner and seed
#           maker with clang in BUILD_DIR, and makes the seed corpus there
#   replay  runs the seeds and every file in fuzz/crashes/ through the target once
#   fuzz    fuzzes for SECONDS (default 60) from the seeds on one core, and prints the
#           executions reached; a finding fails and leaves its input in BUILD_DIR/artifacts
#           (copy it into fuzz/crashes/ so the replay keeps it fixed)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mode=$1
build=$2
seconds=${3:-60}
# The target writes every input to a scratch file, in a folder of its own (memory-backed
# when there is such a place) that goes away however the run ends.
scratch_root=${PURGEKIT_FUZZ_SCRATCH:-/dev/shm}
[ -d "$scratch_root" ] && [ -w "$scratch_root" ] || scratch_root=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_root/purgekit-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
# The sanitizers stop at the first finding, with a stack.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build_native() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_CXX_COMPILER="${CLANGXX:-clang++}" >/dev/null
    cmake --build "$build" -j 2
    rm -rf "$build/seeds"
    mkdir -p "$build/seeds"
    "$build/make_seeds" "$build/seeds"
}

case $mode in
build)
    build_native
    ;;
replay)
    [ -x "$build/scan_replay" ] || build_native
    "$build/scan_replay" "$build/seeds" "$here/crashes"
    ;;
fuzz)
    [ -x "$build/scan_fuzz" ] || build_native
    corpus=$build/corpus
    rm -rf "$corpus" "$build/artifacts"
    mkdir -p "$corpus" "$build/artifacts"
    log=$build/fuzz.log
    status=0
    "$build/scan_fuzz" -max_total_time="$seconds" -max_len=80000 -timeout=10 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
        "$corpus" "$build/seeds" >"$log" 2>&1 || status=$?
    grep -E '^(stat::|Done |INFO: Seed|#[0-9]+ +DONE)' "$log" || true
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ "$status" -ne 0 ] || ls "$build/artifacts"/* >/dev/null 2>&1; then
        echo "the fuzzer found something (exit $status); its report:"
        tail -n 60 "$log"
        ls -l "$build/artifacts"
        exit 1
    fi
    echo "fuzz.scan: ${executions:-?} executions in ${seconds} s, no finding"
    ;;
*)
    echo "usage: run_fuzz.sh build|replay|fuzz BUILD_DIR [SECONDS]" >&2
    exit 2
    ;;
esac
