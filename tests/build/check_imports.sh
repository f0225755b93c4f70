#!/usr/bin/env bash
# check_imports.sh EXE OBJDUMP C_RUNTIME: the program may import only from KERNEL32.DLL,
# ADVAPI32.DLL, USER32.DLL and its C runtime (C_RUNTIME, e.g. crtdll or msvcrt): any other
# library can be missing on one of the Windows versions it promises, and the loader would then
# refuse to start it. Nor may it import what is bound by name at run time: the process status
# library, the Toolhelp functions and the shell's light-weight utility functions.
set -eu
exe=$1
objdump=$2
c_runtime=$3
imports=$("$objdump" -p "$exe")
grep -q 'DLL Name' <<<"$imports" || { echo "no import table read from $exe"; exit 1; }
allowed=" KERNEL32.DLL ADVAPI32.DLL USER32.DLL ${c_runtime^^}.DLL "
status=0
while read -r dll; do
    if [[ $allowed != *" ${dll^^} "* ]]; then
        echo "imports a library that is not on every promised Windows: $dll"; status=1
    fi
done < <(sed -n 's/^[[:space:]]*DLL Name: *//p' <<<"$imports")
found=$(grep -i -E 'CreateToolhelp32Snapshot|Process32(First|Next)|Module32|Thread32|Heap32|Toolhelp32ReadProcessMemory|EnumProcess|GetModuleBaseName|GetModuleFileNameEx|SHDelete(Key|Value)|SHDeleteEmptyKey' <<<"$imports" || true)
if [ -n "$found" ]; then
    echo "the import table names what must be bound at run time:"; echo "$found"; status=1
fi
[ "$status" -eq 0 ] && echo "imports OK: $exe"
exit "$status"
