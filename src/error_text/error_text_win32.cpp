#include "error_text/error_text.h"

#include <windows.h>

std::string ErrorText(int32_t error)
{
    struct Known {
        DWORD code;
        const char* text;
    };
    static const Known kKnown[] = {
        {ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {ERROR_PATH_NOT_FOUND, "No such file or directory"},
        {ERROR_ACCESS_DENIED, "Permission denied"},
        {ERROR_SHARING_VIOLATION, "Sharing violation"},
        {ERROR_LOCK_VIOLATION, "Lock violation"},
        {ERROR_FILENAME_EXCED_RANGE, "File name too long"},
        {ERROR_INVALID_NAME, "Invalid file name"},
        {ERROR_DIRECTORY, "Not a directory"},
        {ERROR_FILE_EXISTS, "File exists"},
        {ERROR_ALREADY_EXISTS, "File exists"},
        {ERROR_DISK_FULL, "No space left on device"},
        {ERROR_HANDLE_DISK_FULL, "No space left on device"},
        {ERROR_NOT_READY, "Device not ready"},
        {ERROR_WRITE_PROTECT, "Read-only file system"},
        {ERROR_READ_FAULT, "Input/output error"},
        {ERROR_WRITE_FAULT, "Input/output error"},
        {ERROR_CRC, "Input/output error"},
        {ERROR_DIR_NOT_EMPTY, "Directory not empty"},
        {ERROR_NOT_SAME_DEVICE, "Invalid cross-device link"},
        {ERROR_BAD_NETPATH, "No such file or directory"},
        {ERROR_CANT_RESOLVE_FILENAME, "Too many levels of symbolic links"},
        {ERROR_NETNAME_DELETED, "The network name is no longer available"},
    };
    for (const Known& known : kKnown) {
        if (known.code == static_cast<DWORD>(error)) {
            return known.text;
        }
    }
    return "Windows error " + std::to_string(static_cast<unsigned long>(error));
}
