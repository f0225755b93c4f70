// One file on Win32: opened for reading with every share mode (so nothing else is stopped),
// without following a reparse point unless asked, taken only when it is a file on disk,
// read at offsets for all three sets at once, closed. No attribute is changed.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

namespace {

int32_t ReadAt(void* source, uint32_t offset, uint8_t* into, uint32_t count, uint32_t* delivered)
{
    HANDLE handle = *static_cast<HANDLE*>(source);
    *delivered = 0;
    while (*delivered < count) {
        OVERLAPPED position = {};
        position.Offset = offset + *delivered;
        DWORD got = 0;
        if (!ReadFile(handle, into + *delivered, count - *delivered, &got, &position)) {
            DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            return static_cast<int32_t>(error);
        }
        if (got == 0) {
            break;
        }
        *delivered += got;
    }
    return 0;
}

}  // namespace

void ScanFile(SweepContext* context, const WorkItem& item, uint8_t* buffer, FileOutcome* outcome)
{
    std::wstring wide = ExtendedPath(item.path, item.rootLength);
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (item.follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE handle = wide.empty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(wide.c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        outcome->error = wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
        return;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        // a device or pipe: never read
    } else if (!GetFileInformationByHandle(handle, &information)) {
        outcome->error = static_cast<int32_t>(GetLastError());
    } else if ((information.dwFileAttributes &
                (FILE_ATTRIBUTE_DIRECTORY | (item.follow ? 0 : FILE_ATTRIBUTE_REPARSE_POINT))) == 0) {
        uint64_t size =
            (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
        ReadAndMatchSets(context, ReadAt, &handle, size, buffer, outcome);
    }
    CloseHandle(handle);
}
