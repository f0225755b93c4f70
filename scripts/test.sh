#!/usr/bin/env bash
# Runs every test: installs what is missing (the private 32-bit Wine root included), builds
# both builds, then runs in one CTest run the unit tests and the acceptance scenarios of each
# (the i686 ones against the shipped 32-bit purgekit.exe), the build and package checks, the
# demonstration and the bounded fuzz run. Most tests wait on Wine rather than compute, so
# four run at once (PURGEKIT_TEST_JOBS).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${PURGEKIT_BUILD_DIR:-$root/build/win64}
cd "$build"
ctest --output-on-failure -j "${PURGEKIT_TEST_JOBS:-4}" "$@"
