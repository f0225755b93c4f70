// One file on Win32: opened for reading with every share mode (so nothing else is stopped),
// without following a reparse point unless asked, taken only when it is a file on disk,
// read at offsets for all three sets at once, closed. No attribute is changed. The file's
// identity is kept from the open file; for a found file that is to be moved or removed, its
// own path too when the system tells it and it differs from the path found (a link).
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include "run/system_library.h"

#include <windows.h>

#include <vector>

namespace {

using GetFinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// GetFinalPathNameByHandleW where the system has it (Vista and later; before, no file link
// exists). RETURNS the path without its "\\?\" prefix, or an empty string.
std::string FinalPath(HANDLE file)
{
    static const GetFinalPathFunction final = LookUpEntryPoint<GetFinalPathFunction>(
        GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW");
    if (final == nullptr) {
        return std::string();
    }
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = final(file, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size() && length < 0x8000) {
        path.resize(length + 1);
        length = final(file, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (length == 0 || length >= path.size()) {
        return std::string();
    }
    std::wstring text(path.data(), length);
    if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        text = L"\\\\" + text.substr(8);
    } else if (text.compare(0, 4, L"\\\\?\\") == 0) {
        text = text.substr(4);
    }
    return WideToUtf8(text.data(), text.size());
}

// Windows names ignore the case of ASCII letters.
bool SamePathIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t at = 0; at < a.size(); ++at) {
        char x = a[at] >= 'A' && a[at] <= 'Z' ? static_cast<char>(a[at] - 'A' + 'a') : a[at];
        char y = b[at] >= 'A' && b[at] <= 'Z' ? static_cast<char>(b[at] - 'A' + 'a') : b[at];
        if (x != y) {
            return false;
        }
    }
    return true;
}

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
    HANDLE handle = wide.empty()
                        ? INVALID_HANDLE_VALUE
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
                (FILE_ATTRIBUTE_DIRECTORY | (item.follow ? 0 : FILE_ATTRIBUTE_REPARSE_POINT))) ==
               0) {
        uint64_t size =
            (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
        outcome->follow = item.follow;
        outcome->identity.device = information.dwVolumeSerialNumber;
        outcome->identity.index =
            (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        outcome->identity.size = size;
        outcome->identity.changed =
            (static_cast<uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
            information.ftLastWriteTime.dwLowDateTime;
        ReadAndMatchSets(context, ReadAt, &handle, size, buffer, outcome);
        const SweepOptions& options = *context->options;
        if (outcome->variants != 0 && (options.haveMove || options.remove)) {
            std::string own = FinalPath(handle);
            if (!SamePathIgnoringCase(own, item.path)) {
                outcome->ownPath = own;
            }
        }
    }
    CloseHandle(handle);
}
