#!/usr/bin/env bash
# check_i686_build.sh SOURCE BUILD: builds the shipped 32-bit purgekit.exe and the sweep
# purgekit-scan.exe (warnings are errors), checks the release package's contents, and checks
# that purgekit.exe's import table names neither PSAPI.DLL nor any Toolhelp function: both
# are bound by name at run time, so one program serves every platform.
set -eu
source_dir=$1
build_dir=$2
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-w64-mingw32.cmake" \
      -DPURGEKIT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target purgekit purgekit-scan release -j 2
exe="$build_dir/src/purgekit.exe"
imports=$(i686-w64-mingw32-objdump -p "$exe")
if ! grep -q 'file format pei-i386' <<<"$imports"; then
    echo "not a 32-bit PE file: $exe"; exit 1
fi
found=$(grep -i -E 'DLL Name: *psapi|CreateToolhelp32Snapshot|Process32(First|Next)|Module32|Thread32|Heap32|Toolhelp32ReadProcessMemory|EnumProcess|GetModuleBaseName|GetModuleFileNameEx' <<<"$imports" || true)
if [ -n "$found" ]; then
    echo "the import table names what must be bound at run time:"; echo "$found"; exit 1
fi
if ! i686-w64-mingw32-objdump -f "$build_dir/src/purgekit-scan.exe" | grep -q 'file format pei-i386'; then
    echo "not a 32-bit PE file: $build_dir/src/purgekit-scan.exe"; exit 1
fi
zip="$build_dir/purgekit-2.00-win32.zip"
listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
[ "$(LC_ALL=C sort <<<"$listing" | tr '\n' ' ')" = "README.TXT purgekit-scan.exe purgekit.exe " ] || {
    echo "unexpected release package contents: $listing"; exit 1; }
echo "release package OK: $zip"
echo "i686 build OK; imports:"
grep 'DLL Name' <<<"$imports"
