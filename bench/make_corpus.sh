#!/usr/bin/env bash
# make_corpus.sh CORPUS [MINIMUM_FILES]: the benchmarks' corpus of real PE files.
# Wine's own PE files (/usr/lib/x86_64-linux-gnu/wine/*-windows), copied into as many folders
# as it takes to reach MINIMUM_FILES (default 5,000), kept when already there; plus the three
# stand-ins in CORPUS/standins: the win64 build's runnable ones when it has made them, else PE
# files carrying each variant's patterns, made by the tests' sample maker.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
corpus=$1
minimum_files=${2:-5000}
wine_pe=/usr/lib/x86_64-linux-gnu/wine

sources=("$wine_pe"/*-windows)
per_copy=$(find "${sources[@]}" -maxdepth 1 -type f | wc -l)
[ "$per_copy" -gt 0 ] || { echo "no PE files under $wine_pe" >&2; exit 1; }
copies=$(( (minimum_files + per_copy - 1) / per_copy ))
if [ "$(find "$corpus" -path "$corpus/standins" -prune -o -type f -print 2>/dev/null | wc -l)" -lt "$minimum_files" ]; then
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
mkdir -p "$corpus/standins"
if [ -f "$root/build/win64/samples/standin-a.exe" ]; then
    cp "$root"/build/win64/samples/standin-*.exe "$corpus/standins/"
else
    python3 - "$root/tests/sweep" "$corpus/standins" <<'PYTHON'
import os, sys
sys.path.insert(0, sys.argv[1])
import sweeplib
for variant in "ACE":
    with open(os.path.join(sys.argv[2], "standin-%s.exe" % variant.lower()), "wb") as f:
        f.write(sweeplib.standin(variant))
PYTHON
fi
