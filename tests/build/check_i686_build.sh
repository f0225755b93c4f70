#!/usr/bin/env bash
# check_i686_build.sh SOURCE BUILD: checks the shipped 32-bit build in BUILD (purgekit.exe and
# the sweep purgekit-scan.exe), made with warnings as errors: the i686 build with its tests that
# scripts/build.sh makes, or else one without tests that is built here. Its purgekit.exe is a
# 32-bit PE file whose import table (check_imports.sh, target win95-nt351) names only functions
# of KERNEL32, ADVAPI32, USER32 and CRTDLL.DLL that Windows 95 and NT 3.51 already export, and
# nothing that is bound at run time. Its release package holds that very
# file, the one the 32-bit tests run, the sweep and the user README.
set -eu
source_dir=$1
build_dir=$2
with_tests=false
grep -q '^PURGEKIT_BUILD_TESTS:BOOL=ON' "$build_dir/CMakeCache.txt" 2>/dev/null && with_tests=true
if ! $with_tests; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-w64-mingw32.cmake" \
          -DPURGEKIT_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" --target purgekit purgekit-scan release -j 2
fi
exe="$build_dir/src/purgekit.exe"
[ -f "$exe" ] || { echo "missing: $exe (scripts/build.sh builds it)"; exit 1; }
imports=$(i686-w64-mingw32-objdump -p "$exe")
if ! grep -q 'file format pei-i386' <<<"$imports"; then
    echo "not a 32-bit PE file: $exe"; exit 1
fi
bash "$(dirname "$0")/check_imports.sh" "$exe" win95-nt351 i686-w64-mingw32-objdump
zip="$build_dir/purgekit-2.00-win32.zip"
[ -f "$zip" ] || { echo "missing: $zip (the release target of $build_dir)"; exit 1; }
python3 - "$zip" "$exe" <<'PY' || exit 1
import sys, zipfile
package = zipfile.ZipFile(sys.argv[1])
names = sorted(package.namelist())
if names != ["README.TXT", "purgekit-scan.exe", "purgekit.exe"]:
    sys.exit(f"unexpected release package contents: {' '.join(names)}")
with open(sys.argv[2], "rb") as f:
    if package.read("purgekit.exe") != f.read():
        sys.exit(f"the packed purgekit.exe is not {sys.argv[2]}")
PY
if ! i686-w64-mingw32-objdump -f "$build_dir/src/purgekit-scan.exe" | grep -q 'file format pei-i386'; then
    echo "not a 32-bit PE file: $build_dir/src/purgekit-scan.exe"; exit 1
fi
echo "release package OK: $zip"
if $with_tests; then
    echo "the 32-bit tests run this purgekit.exe: $exe"
fi
echo "i686 build OK; imports:"
grep 'DLL Name' <<<"$imports"
