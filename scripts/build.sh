#!/usr/bin/env bash
# Builds the two test builds, each with its program, unit tests, test tools and stand-ins:
#   build/i686   the shipped 32-bit build, with its release package purgekit-2.00-win32.zip
#   build/win64  the same sources as 64-bit programs; its CTest run also runs build/i686's tests
# and the native Linux sweep and outbreak report in build/sweep-native and build/report-native
# (which the 64-bit build's CTest run then only brings up to date).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PURGEKIT_BUILD_DIR:-$root/build/win64}
build32=${PURGEKIT_I686_BUILD_DIR:-$root/build/i686}
jobs=${PURGEKIT_JOBS:-$(nproc)}
cmake -S "$root" -B "$build32" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$build32" --target all release -j "$jobs"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" \
      -DPURGEKIT_I686_BUILD_DIR="$build32" \
      -DPURGEKIT_SWEEP_NATIVE_BUILD="$root/build/sweep-native" \
      -DPURGEKIT_REPORT_NATIVE_BUILD="$root/build/report-native" >/dev/null
cmake --build "$build" -j "$jobs"
"$root/scripts/build_sweep_native.sh" "$root/build/sweep-native"
"$root/scripts/build_report_native.sh" "$root/build/report-native"
