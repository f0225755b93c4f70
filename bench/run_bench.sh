#!/usr/bin/env bash
# run_bench.sh [BENCH_DIR]: the signature scan's throughput on a corpus of real PE files.
#
# The corpus is Wine's own PE files, copied into as many folders as it takes to reach 5,000
# files (MINIMUM_FILES), plus the three stand-ins (make_corpus.sh). On one thread, with a warm
# cache, it times
#   raw reads  only what one scan reads per file: open, size, 256 bytes at 0, 4,096 at
#              e_lfanew, the window at 0, close (the floor of this design)
#   scan       the native build of ScanFileForSignatures (attribute calls through the host
#              shim): every file with set A, then with C, then with E, as the memory passes do
#   attribute calls alone, to show what of the scan's cost beyond the reads they make up
#   yara -p 1  rules with the same tests (MZ, relocation offset, PE signature at e_lfanew,
#              each pattern at its offset), printed from the sets themselves
# each after a warm-up, RUNS times (default 5), and prints the medians (measure.py). One scan
# answers for one set and makes the reads of one raw pass, so "scan" figures are per scan;
# the three-set figures are given beside them. The last two lines are the ratios.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bench=${1:-$root/build/bench}
runs=${RUNS:-5}
minimum_files=${MINIMUM_FILES:-5000}

"$root/scripts/deps.sh" cmake clang yara

# ---- build ---------------------------------------------------------------------------------
cmake -S "$here" -B "$bench/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$bench/build" -j 2 >/dev/null
tool=$bench/build/scan_bench

# ---- corpus --------------------------------------------------------------------------------
corpus=$bench/corpus
"$here/make_corpus.sh" "$corpus" "$minimum_files"
files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)
"$tool" rules >"$bench/rules.yar"

# ---- timing --------------------------------------------------------------------------------
echo "corpus: $files files, $((bytes / 1048576)) MiB; one thread, warm cache, medians of $runs runs"
python3 "$here/measure.py" "$runs" "$bench" "$tool" "$corpus" "$bench/rules.yar"
