// Deleting a key with everything below it, and one value of a key: through the shell's
// light-weight utility library (SHLWAPI.DLL, 4.71 or later, which arrives with Internet
// Explorer 4) when the system has it, else through the registry functions every Win32
// platform has. The library is bound at run time, so the program starts without it.
#pragma once

#include <windows.h>

// SHDeleteKeyA(root, path); without it: the key's subkeys deleted depth first
// (RegEnumKeyA, RegDeleteKeyA), then the key itself with its values.
// RETURNS ERROR_SUCCESS when the key is gone, else the platform's error code.
LONG DeleteKeyWithSubkeys(HKEY root, const char* path);

// SHDeleteValueA(root, subKey, valueName); without it: RegDeleteValueA on root\subKey.
// RETURNS ERROR_SUCCESS when the value was deleted, else the platform's error code.
LONG DeleteKeyValue(HKEY root, const char* subKey, const char* valueName);
