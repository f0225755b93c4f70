#include "run/run.h"

#include <windows.h>

bool GetSystemFolderPath(char* out, size_t size)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    out[0] = '\0';
    char directory[kPathSize] = {};
    UINT length = GetSystemDirectoryA(directory, sizeof(directory));
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
