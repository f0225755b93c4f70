#!/usr/bin/env bash
# check_imports.sh EXE OBJDUMP: the program's import table must name neither PSAPI.DLL nor any
# Toolhelp function: the memory passes bind both by name at run time.
set -eu
exe=$1
objdump=$2
imports=$("$objdump" -p "$exe")
grep -q 'DLL Name' <<<"$imports" || { echo "no import table read from $exe"; exit 1; }
found=$(grep -i -E 'DLL Name: *psapi|CreateToolhelp32Snapshot|Process32(First|Next)|Module32|Thread32|Heap32|Toolhelp32ReadProcessMemory|EnumProcess|GetModuleBaseName|GetModuleFileNameEx' <<<"$imports" || true)
if [ -n "$found" ]; then
    echo "the import table names what must be bound at run time:"; echo "$found"; exit 1
fi
echo "imports OK: $exe"
