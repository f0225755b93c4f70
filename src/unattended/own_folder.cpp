// The launcher's own folder: the cleaner is taken from there, and nothing that the loader
// would take in place of a system library may lie beside it.
#include "unattended/unattended.h"

#include <windows.h>

#include <cstring>

bool GetOwnPath(char* out, size_t size)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    out[0] = '\0';
    DWORD length = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    // A path that filled the buffer may have been cut (and, on some systems, left unended).
    if (length == 0 || length >= size) {
        out[0] = '\0';
        return false;
    }
    out[length] = '\0';
    return true;
}

bool GetOwnFolder(char* out, size_t size)
{
    if (!GetOwnPath(out, size)) {
        return false;
    }
    char* lastSeparator = strrchr(out, '\\');
    if (lastSeparator == nullptr) {
        out[0] = '\0';
        return false;
    }
    lastSeparator[1] = '\0';
    return true;
}

const char* FindPlantedLibrary(const char* folder)
{
    for (const char* name : kPlantableLibraries) {
        char path[kLaunchPathSize];
        if (!JoinPath(path, sizeof(path), folder, name)) {
            continue;
        }
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return name;
        }
    }
    return nullptr;
}
