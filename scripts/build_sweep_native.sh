#!/usr/bin/env bash
# Builds the native Linux sweep, purgekit-scan, in BUILD_DIR (default build/sweep-native):
#   scripts/build_sweep_native.sh [BUILD_DIR]  ->  BUILD_DIR/purgekit-scan
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/sweep-native}
compiler=${CXX:-$(command -v g++ || command -v clang++)}
cmake -S "$root/src/sweep/native" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$build" -j 2
