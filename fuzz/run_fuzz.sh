#!/usr/bin/env bash
# run_fuzz.sh build|replay|fuzz BUILD_DIR [SECONDS [TARGET]]
#   build   configures and builds with clang in BUILD_DIR the two fuzz targets (scan: the
#           native scan; report: what the outbreak report reads), their replay runners and
#           the scan's seed maker, and makes both seed corpora there
#   replay  runs each target's seeds and every file in its crash folder (fuzz/crashes/,
#           fuzz/crashes-report/) through it once
#   fuzz    fuzzes TARGET (scan, the default, or report) for SECONDS (default 60) from its seeds
#           on one core, and prints the executions reached; a finding fails and leaves its
#           input in BUILD_DIR/artifacts (artifacts-report for the report): copy it into the
#           target's crash folder so the replay keeps it fixed
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mode=$1
build=$2
seconds=${3:-60}
target=${4:-scan}
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
    rm -rf "$build/seeds" "$build/seeds-report"
    mkdir -p "$build/seeds"
    "$build/make_seeds" "$build/seeds"
    python3 "$here/make_report_seeds.py" "$build/seeds-report"
}

case $mode in
build)
    build_native
    ;;
replay)
    [ -x "$build/scan_replay" ] && [ -x "$build/report_replay" ] || build_native
    "$build/scan_replay" "$build/seeds" "$here/crashes"
    "$build/report_replay" "$build/seeds-report" "$here/crashes-report"
    ;;
fuzz)
    case $target in
    scan) suffix= max_len=80000 ;;
    report) suffix=-report max_len=65536 ;;
    *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
    esac
    [ -x "$build/${target}_fuzz" ] || build_native
    corpus=$build/corpus$suffix
    artifacts=$build/artifacts$suffix
    rm -rf "$corpus" "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    log=$build/fuzz$suffix.log
    status=0
    "$build/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "$build/seeds$suffix" >"$log" 2>&1 || status=$?
    grep -E '^(stat::|Done |INFO: Seed|#[0-9]+ +DONE)' "$log" || true
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ "$status" -ne 0 ] || ls "$artifacts"/* >/dev/null 2>&1; then
        echo "the fuzzer found something (exit $status); its report:"
        tail -n 60 "$log"
        ls -l "$artifacts"
        exit 1
    fi
    echo "fuzz.$target: ${executions:-?} executions in ${seconds} s, no finding"
    ;;
*)
    echo "usage: run_fuzz.sh build|replay|fuzz BUILD_DIR [SECONDS [scan|report]]" >&2
    exit 2
    ;;
esac
