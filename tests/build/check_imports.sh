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
# The shipped program (CRTDLL.DLL) also keeps to the KERNEL32 functions that Windows 95 and
# NT 3.51 already have: one missing export stops the loader as surely as a missing library.
# (The C runtime's own formatting once pulled in IsDBCSLeadByteEx, which NT 3.51 lacks.)
if [ "$c_runtime" = crtdll ]; then
    early_kernel32=" CloseHandle CreateDirectoryA DeleteCriticalSection DeleteFileA
        EnterCriticalSection FreeLibrary GetCurrentProcess GetCurrentProcessId GetExitCodeProcess
        GetFileAttributesA GetLastError GetLocalTime GetModuleHandleA GetProcAddress
        GetStartupInfoA GetSystemDirectoryA GetVersionExA InitializeCriticalSection
        LeaveCriticalSection LoadLibraryA LoadLibraryExA OpenProcess SetFileAttributesA
        SetLastError SetUnhandledExceptionFilter Sleep TerminateProcess TlsGetValue
        VirtualProtect VirtualQuery lstrcmpiA "
    early_kernel32=$(tr -s ' \n' '  ' <<<"$early_kernel32")
    while read -r function; do
        if [[ $early_kernel32 != *" $function "* ]]; then
            echo "imports a KERNEL32 function not known on Windows 95 and NT 3.51: $function"
            status=1
        fi
    done < <(awk '/DLL Name:/ { kernel = toupper($3) == "KERNEL32.DLL"; next }
                  kernel && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' <<<"$imports")
fi
[ "$status" -eq 0 ] && echo "imports OK: $exe"
exit "$status"
