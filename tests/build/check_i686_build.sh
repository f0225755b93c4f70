#!/usr/bin/env bash
# check_i686_build.sh SOURCE BUILD: checks the shipped 32-bit build in BUILD (purgekit.exe, the
# sweep purgekit-scan.exe, the unattended launcher purgekit-unattended.exe and the outbreak
# report purgekit-report.exe), made with warnings as errors: the i686 build with its tests that
# scripts/build.sh makes, or else one without tests that is built here. Each is a 32-bit PE file
# whose every imported library and function (check_imports.sh) is one that each Windows it is
# promised for has: purgekit.exe and the launcher, which reach the same systems, against the
# functions Windows 95 and NT 3.51 already export (target win95-nt351), with nothing imported
# that is bound at run time; the sweep and the report against Windows 2000's (target win2000).
# Its release package holds those very files, the ones the 32-bit tests run, the fleet scripts
# and the user README.
set -eu
source_dir=$1
build_dir=$2
with_tests=false
grep -q '^PURGEKIT_BUILD_TESTS:BOOL=ON' "$build_dir/CMakeCache.txt" 2>/dev/null && with_tests=true
if ! $with_tests; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-w64-mingw32.cmake" \
          -DPURGEKIT_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" --target purgekit purgekit-scan purgekit-unattended release -j 2
fi
exe="$build_dir/src/purgekit.exe"
[ -f "$exe" ] || { echo "missing: $exe (scripts/build.sh builds it)"; exit 1; }
imports=$(i686-w64-mingw32-objdump -p "$exe")
if ! grep -q 'file format pei-i386' <<<"$imports"; then
    echo "not a 32-bit PE file: $exe"; exit 1
fi
check_imports() {
    bash "$(dirname "$0")/check_imports.sh" "$1" "$2" i686-w64-mingw32-objdump
}
check_imports "$exe" win95-nt351
launcher="$build_dir/src/purgekit-unattended.exe"
i686-w64-mingw32-objdump -f "$launcher" | grep -q 'file format pei-i386' ||
    { echo "not a 32-bit PE file: $launcher"; exit 1; }
check_imports "$launcher" win95-nt351
zip="$build_dir/purgekit-2.00-win32.zip"
[ -f "$zip" ] || { echo "missing: $zip (the release target of $build_dir)"; exit 1; }
python3 - "$zip" "$exe" "$launcher" "$source_dir/package/fleet" <<'PY' || exit 1
import sys, zipfile
package = zipfile.ZipFile(sys.argv[1])
names = sorted(package.namelist())
if names != ["README.TXT", "fleet/logon.bat", "fleet/startup.cmd", "purgekit-report.exe",
             "purgekit-scan.exe", "purgekit-unattended.exe", "purgekit.exe"]:
    sys.exit(f"unexpected release package contents: {' '.join(names)}")
for name, path in (("purgekit.exe", sys.argv[2]), ("purgekit-unattended.exe", sys.argv[3])):
    with open(path, "rb") as f:
        if package.read(name) != f.read():
            sys.exit(f"the packed {name} is not {path}")
for script in ("startup.cmd", "logon.bat"):
    with open(f"{sys.argv[4]}/{script}", "rb") as f:
        if package.read(f"fleet/{script}") != f.read().replace(b"\n", b"\r\n"):
            sys.exit(f"the packed fleet/{script} is not {script} with Windows line ends")
PY
if ! i686-w64-mingw32-objdump -f "$build_dir/src/purgekit-scan.exe" | grep -q 'file format pei-i386'; then
    echo "not a 32-bit PE file: $build_dir/src/purgekit-scan.exe"; exit 1
fi
check_imports "$build_dir/src/purgekit-scan.exe" win2000
report="$build_dir/report-win32/purgekit-report.exe"
if ! i686-w64-mingw32-objdump -f "$report" | grep -q 'file format pei-i386'; then
    echo "not a 32-bit PE file: $report"; exit 1
fi
check_imports "$report" win2000
python3 - "$zip" "$report" <<'PY' || exit 1
import sys, zipfile
with open(sys.argv[2], "rb") as f:
    if zipfile.ZipFile(sys.argv[1]).read("purgekit-report.exe") != f.read():
        sys.exit(f"the packed purgekit-report.exe is not {sys.argv[2]}")
PY
echo "release package OK: $zip"
if $with_tests; then
    echo "the 32-bit tests run this purgekit.exe: $exe"
fi
echo "i686 build OK"
