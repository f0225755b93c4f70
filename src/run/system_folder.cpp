#include "run/run.h"

#include <windows.h>

namespace {

using FolderQuery = UINT(WINAPI*)(LPSTR buffer, UINT size);

// The folder `query` gives, with a backslash appended unless it ends in one.
bool FolderPath(FolderQuery query, char* out, size_t size)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    out[0] = '\0';
    char directory[kPathSize] = {};
    UINT length = query(directory, sizeof(directory));
    // 0 is a failure; a length of the buffer or more is the size the platform would need.
    if (length == 0 || length >= sizeof(directory)) {
        return false;
    }
    directory[sizeof(directory) - 1] = '\0';
    size_t used = strlen(directory);
    if (used == 0) {
        return false;
    }
    bool whole = CopyText(out, size, directory);
    if (directory[used - 1] != '\\') {
        whole = AppendText(out, size, "\\") && whole;
    }
    return whole;
}

}  // namespace

bool GetSystemFolderPath(char* out, size_t size)
{
    return FolderPath(GetSystemDirectoryA, out, size);
}

bool GetWindowsFolderPath(char* out, size_t size)
{
    return FolderPath(GetWindowsDirectoryA, out, size);
}
