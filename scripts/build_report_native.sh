#!/usr/bin/env bash
# Builds the native Linux outbreak report, purgekit-report, in BUILD_DIR (default
# build/report-native):
#   scripts/build_report_native.sh [BUILD_DIR]  ->  BUILD_DIR/purgekit-report
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/report-native}
compiler=${CXX:-$(command -v g++ || command -v clang++)}
cmake -S "$root/src/report/native" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
cmake --build "$build" -j 2
