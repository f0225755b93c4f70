// The platform's libraries bound at run time are loaded from the system folder only.
#pragma once

#include <windows.h>

// Loads one of the platform's libraries by its full path in the system folder, never from
// the program's own folder or the current folder, where anyone may have left a file of that
// name; the libraries it needs in turn are looked for in the system folder first as well.
// RETURNS the module (the caller releases it with FreeLibrary), or null when the library
// cannot be loaded or the system folder path is unknown or too long to take the name.
HMODULE LoadSystemLibrary(const char* fileName);

// GetProcAddress for an entry point with its own signature; null when the library lacks it.
// (The detour through a function type without parameters keeps the conversion explicit.)
template <typename Function>
Function LookUpEntryPoint(HMODULE library, const char* name)
{
    FARPROC entry = GetProcAddress(library, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}
