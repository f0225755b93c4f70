#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, then runs the unit tests, the
# acceptance scenarios, the 32-bit build check and the bounded fuzz run through CTest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${PURGEKIT_BUILD_DIR:-$root/build/win64}
cd "$build"
ctest --output-on-failure -j 2 "$@"
