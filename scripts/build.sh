#!/usr/bin/env bash
# Builds the 64-bit test build (programs, unit tests, test tools and samples) in build/win64,
# and the native Linux sweep in build/sweep-native.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PURGEKIT_BUILD_DIR:-$root/build/win64}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)"
"$root/scripts/build_sweep_native.sh" "$root/build/sweep-native"
