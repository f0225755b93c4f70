#!/usr/bin/env bash
# run_sweep_bench.sh [BENCH_DIR]: the sweep (purgekit-scan, native build) against the floor of
# what it reads, against the scan it replaces and against the general tools an admin would
# reach for, on the corpus of make_corpus.sh (at least 5,000 real PE files and the stand-ins):
#   floor        bench's read_floor: the sweep's walk and its very reads of each file, one thread
#   sweep        purgekit-scan -i, with -j 1 and -j 2 and its default thread count
#   scan x3      ScanFileForSignatures with set A, C and E per file (scan_bench compare)
#   yara         -p 1 and -p 2, with rules that make the scan's tests (scan_bench rules)
#   clamscan     with logical signatures that make the same tests (scan_bench ldb) and no other
#                database
# warm cache, then the peak resident memory of the sweep on a generated tree of 200,000 small
# files (SMALL_FILES), then, where the page cache can be dropped (root), a cold cache: the
# floor and the sweep with -j 1, 2, 8, 32 and its default, against the device's own limit for
# the sweep's very reads (fio: random reads of the same sizes, as many, queue depth 32, direct
# I/O, on a file of the corpus's size on the same file system, FIO_FILE). Prints every figure
# and the ratios against their targets (measure_sweep.py). RUNS (default 11) runs of the fast
# programs, SLOW_RUNS (default 3) of yara, CLAMSCAN_RUNS (default 1) of clamscan, COLD_RUNS
# (default 3) of each cold-cache run and of fio.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bench=${1:-$root/build/bench}
runs=${RUNS:-11}
minimum_files=${MINIMUM_FILES:-5000}
small_files=${SMALL_FILES:-200000}

"$root/scripts/deps.sh" cmake clang yara clamav time strace fio

# ---- build ---------------------------------------------------------------------------------
cmake -S "$here" -B "$bench/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$bench/build" -j 2 >/dev/null
"$root/scripts/build_sweep_native.sh" "$bench/sweep-native" >/dev/null
sweep=$bench/sweep-native/purgekit-scan
"$bench/build/scan_bench" rules >"$bench/rules.yar"
"$bench/build/scan_bench" ldb >"$bench/signatures.ldb"

# ---- corpus and the tree of small files ----------------------------------------------------
"$here/make_corpus.sh" "$bench/corpus" "$minimum_files"
small=$bench/small-tree
if [ "$(find "$small" -type f 2>/dev/null | wc -l)" -ne "$small_files" ]; then
    echo "making $small_files small files under $small"
    rm -rf "$small"
    python3 - "$small" "$small_files" <<'PYTHON'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
pick = random.Random(200000)
noise = bytes(pick.randrange(256) for _ in range(4096))
for n in range(count):
    folder = os.path.join(root, "f%03d" % (n // 10000), "g%03d" % (n // 500 % 20))
    if n % 500 == 0:
        os.makedirs(folder)
    with open(os.path.join(folder, "file%06d.dat" % n), "wb") as f:
        f.write(b"MZ" + noise[:pick.randrange(4000)] if n % 3 == 0 else noise[:pick.randrange(600)])
PYTHON
fi

# ---- timing --------------------------------------------------------------------------------
python3 "$here/measure_sweep.py" "$runs" "$bench" "$sweep" "$bench/build/read_floor" \
    "$bench/build/scan_bench" "$bench/corpus" "$bench/rules.yar" "$bench/signatures.ldb" "$small" \
    "${FIO_FILE:-$bench/fio-reads.data}"
