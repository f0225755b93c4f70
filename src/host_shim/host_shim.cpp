#include "windows.h"

#include <sys/stat.h>

DWORD GetFileAttributesA(LPCSTR path)
{
    struct stat status;
    if (path == nullptr || stat(path, &status) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    // A host file has no archive, hidden or system bit: read-only is the one attribute it can
    // carry, and a file with none at all reads FILE_ATTRIBUTE_NORMAL, as on the platform.
    DWORD attributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((status.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    struct stat status;
    if (path == nullptr || stat(path, &status) != 0) {
        return FALSE;
    }
    mode_t mode = status.st_mode & 07777;
    mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY) != 0
                        ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)
                        : mode | S_IWUSR;
    if (wanted == mode) {
        return TRUE;
    }
    return chmod(path, wanted) == 0 ? TRUE : FALSE;
}
