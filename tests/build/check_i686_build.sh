#!/usr/bin/env bash
# check_i686_build.sh SOURCE BUILD: builds the shipped 32-bit purgekit.exe (warnings are
# errors) and checks its import table (check_imports.sh): only KERNEL32, ADVAPI32, USER32 and
# CRTDLL.DLL, which every promised Windows has, and nothing that is bound at run time.
set -eu
source_dir=$1
build_dir=$2
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-w64-mingw32.cmake" \
      -DPURGEKIT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target purgekit release -j 2
exe="$build_dir/src/purgekit.exe"
imports=$(i686-w64-mingw32-objdump -p "$exe")
if ! grep -q 'file format pei-i386' <<<"$imports"; then
    echo "not a 32-bit PE file: $exe"; exit 1
fi
bash "$(dirname "$0")/check_imports.sh" "$exe" i686-w64-mingw32-objdump crtdll
zip="$build_dir/purgekit-2.00-win32.zip"
listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
[ "$(LC_ALL=C sort <<<"$listing" | tr '\n' ' ')" = "README.TXT purgekit.exe " ] || {
    echo "unexpected release package contents: $listing"; exit 1; }
echo "release package OK: $zip"
echo "i686 build OK; imports:"
grep 'DLL Name' <<<"$imports"
