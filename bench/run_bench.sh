#!/usr/bin/env bash
# run_bench.sh [BENCH_DIR]: the signature scan's throughput on a corpus of real PE files.
#
# The corpus is Wine's own PE files (/usr/lib/x86_64-linux-gnu/wine/*-windows), copied into
# as many folders as it takes to reach 5,000 files (MINIMUM_FILES), plus the three stand-ins
# when a win64 build has made them. On one thread, with a warm cache, it times
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
wine_pe=/usr/lib/x86_64-linux-gnu/wine

"$root/scripts/deps.sh" cmake clang yara

# ---- build ---------------------------------------------------------------------------------
cmake -S "$here" -B "$bench/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$bench/build" -j 2 >/dev/null
tool=$bench/build/scan_bench

# ---- corpus --------------------------------------------------------------------------------
corpus=$bench/corpus
sources=("$wine_pe"/*-windows)
per_copy=$(find "${sources[@]}" -maxdepth 1 -type f | wc -l)
[ "$per_copy" -gt 0 ] || { echo "no PE files under $wine_pe"; exit 1; }
copies=$(( (minimum_files + per_copy - 1) / per_copy ))
if [ "$(find "$corpus" -type f 2>/dev/null | wc -l)" -lt "$minimum_files" ]; then
    echo "copying $per_copy files into $copies folders under $corpus"
    rm -rf "$corpus"
    for n in $(seq 1 "$copies"); do
        mkdir -p "$corpus/copy$n"
        for source in "${sources[@]}"; do
            cp "$source"/* "$corpus/copy$n/"
        done
    done
fi
rm -rf "$corpus/standins"
if [ -d "$root/build/win64/samples" ]; then
    mkdir -p "$corpus/standins"
    cp "$root"/build/win64/samples/standin-*.exe "$corpus/standins/"
fi
files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)
"$tool" rules >"$bench/rules.yar"

# ---- timing --------------------------------------------------------------------------------
echo "corpus: $files files, $((bytes / 1048576)) MiB; one thread, warm cache, medians of $runs runs"
python3 "$here/measure.py" "$runs" "$bench" "$tool" "$corpus" "$bench/rules.yar"
