#!/usr/bin/env bash
# check_i686_build.sh SOURCE BUILD: checks the shipped 32-bit build in BUILD (purgekit.exe, the
# sweep purgekit-scan.exe, the unattended launcher purgekit-unattended.exe and the outbreak
# report purgekit-report.exe), made with warnings as errors: the i686 build with its tests that
# scripts/build.sh makes, or else one without tests that is built here. Its purgekit.exe is a
# 32-bit PE file whose import table (check_imports.sh) names only KERNEL32, ADVAPI32, USER32 and
# CRTDLL.DLL, which every promised Windows has, and nothing that is bound at run time; the
# launcher, which reaches the same systems, imports only from KERNEL32 and CRTDLL.DLL; the
# report, promised for Windows 2000 and later, only from KERNEL32.DLL and MSVCRT.DLL. Its
# release package holds those very files, the ones the 32-bit tests run, the sweep, the fleet
# scripts and the user README.
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
bash "$(dirname "$0")/check_imports.sh" "$exe" i686-w64-mingw32-objdump crtdll
launcher="$build_dir/src/purgekit-unattended.exe"
launcher_imports=$(i686-w64-mingw32-objdump -p "$launcher" 2>/dev/null) || true
grep -q 'file format pei-i386' <<<"$launcher_imports" || { echo "not a 32-bit PE file: $launcher"; exit 1; }
launcher_dlls=$(sed -n 's/^[[:space:]]*DLL Name: *//p' <<<"$launcher_imports" | tr '[:lower:]' '[:upper:]' | sort | tr '\n' ' ')
if [ "$launcher_dlls" != "CRTDLL.DLL KERNEL32.DLL " ]; then
    echo "the launcher imports from $launcher_dlls(only KERNEL32.DLL and CRTDLL.DLL may be)"; exit 1
fi
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
report="$build_dir/report-win32/purgekit-report.exe"
if ! i686-w64-mingw32-objdump -f "$report" | grep -q 'file format pei-i386'; then
    echo "not a 32-bit PE file: $report"; exit 1
fi
bash "$(dirname "$0")/check_imports.sh" "$report" i686-w64-mingw32-objdump msvcrt
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
echo "i686 build OK; imports:"
grep 'DLL Name' <<<"$imports"
echo "the launcher's imports:"
grep 'DLL Name' <<<"$launcher_imports"
