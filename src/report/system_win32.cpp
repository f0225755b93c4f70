// The report's output folder and files, its streams, error texts and clock on Win32. Only
// functions that Windows 2000 has.
#include "report/report_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

namespace {

struct Identity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

// The identity of an existing folder (or file). RETURNS false when it cannot be opened.
bool IdentityOf(const std::wstring& path, Identity* identity)
{
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    bool known = GetFileInformationByHandle(handle, &information) != FALSE;
    CloseHandle(handle);
    identity->volume = information.dwVolumeSerialNumber;
    identity->indexHigh = information.nFileIndexHigh;
    identity->indexLow = information.nFileIndexLow;
    return known;
}

// The length of the root of an extended path: "\\?\C:\" or "\\?\UNC\server\share\".
size_t RootLength(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        size_t server = path.find(L'\\', 8);
        size_t share =
            server == std::wstring::npos ? std::wstring::npos : path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path.size() : share + 1;
    }
    return path.size() < 7 ? path.size() : 7;
}

}  // namespace

int32_t PrepareOutFolder(const std::string& out, const std::vector<std::string>& results,
                         std::string* folder, int32_t* error)
{
    std::vector<Identity> identities;
    std::vector<size_t> owners;
    for (size_t index = 0; index < results.size(); ++index) {
        Identity identity;
        std::wstring wide = ExtendedPath(results[index]);
        if (!wide.empty() && IdentityOf(wide, &identity)) {   // an unreadable one is said later
            identities.push_back(identity);
            owners.push_back(index);
        }
    }
    std::wstring path = ExtendedPath(out);
    if (path.empty()) {
        *error = ERROR_INVALID_NAME;
        return kTreeSystem;
    }
    while (path.size() > RootLength(path) && path.back() == L'\\') {
        path.pop_back();
    }
    // The folder itself (when it exists) and every existing folder above it.
    const size_t root = RootLength(path);
    for (std::wstring above = path;;) {
        Identity identity;
        if (IdentityOf(above, &identity)) {
            for (size_t index = 0; index < identities.size(); ++index) {
                if (identities[index].volume == identity.volume &&
                    identities[index].indexHigh == identity.indexHigh &&
                    identities[index].indexLow == identity.indexLow) {
                    *error = static_cast<int32_t>(owners[index]);
                    return kOutInsideResults;
                }
            }
        }
        size_t slash = above.find_last_of(L'\\');
        if (above.size() <= root || slash == std::wstring::npos) {
            break;
        }
        above.resize(slash + 1 <= root ? root : slash);   // the root keeps its backslash
    }
    // Made from the root down; folders already there are kept.
    for (size_t at = root; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != L'\\') {
            continue;
        }
        std::wstring made = path.substr(0, at);
        if (made.size() <= root) {
            continue;
        }
        if (!CreateDirectoryW(made.c_str(), nullptr)) {
            DWORD last = GetLastError();
            DWORD attributes = GetFileAttributesW(made.c_str());
            if (last != ERROR_ALREADY_EXISTS || attributes == INVALID_FILE_ATTRIBUTES ||
                (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                *error =
                    static_cast<int32_t>(last == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : last);
                return kTreeSystem;
            }
        }
    }
    // Shown without the "\\?\" prefix: "C:\report", "\\server\share\report".
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        *folder = "\\\\" + WideToUtf8(path.c_str() + 8, path.size() - 8);
    } else {
        *folder = WideToUtf8(path.c_str() + 4, path.size() - 4);
    }
    return kTreeOk;
}

int32_t CreateOutFile(const std::string& folder, const char* name, OutFile* file, int32_t* error)
{
    file->path = JoinPath(folder, name);
    file->buffer.clear();
    file->error = 0;
    file->handle = -1;
    std::wstring wide = ExtendedPath(file->path);
    HANDLE handle = wide.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
        return kTreeSystem;
    }
    file->handle = reinterpret_cast<intptr_t>(handle);
    return kTreeOk;
}

int32_t WriteHandle(intptr_t handle, const char* bytes, size_t size)
{
    while (size > 0) {
        DWORD piece = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle), bytes, piece, &written, nullptr)) {
            return static_cast<int32_t>(GetLastError());
        }
        if (written == 0) {
            return ERROR_HANDLE_DISK_FULL;
        }
        bytes += written;
        size -= written;
    }
    return 0;
}

int32_t CloseOutHandle(intptr_t handle)
{
    return CloseHandle(reinterpret_cast<HANDLE>(handle)) ? 0 : static_cast<int32_t>(GetLastError());
}

void WriteStream(int stream, const char* bytes, size_t size)
{
    HANDLE handle = GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        WriteHandle(reinterpret_cast<intptr_t>(handle), bytes, size);
    }
}

std::string UtcNowText()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    const unsigned values[] = {now.wYear, now.wMonth,  now.wDay,
                               now.wHour, now.wMinute, now.wSecond};
    const char separators[] = {'-', '-', 'T', ':', ':', 'Z'};
    std::string text;
    for (size_t index = 0; index < 6; ++index) {
        unsigned value = values[index];
        if (index == 0) {
            text.push_back(static_cast<char>('0' + value / 1000 % 10));
            text.push_back(static_cast<char>('0' + value / 100 % 10));
        }
        text.push_back(static_cast<char>('0' + value / 10 % 10));
        text.push_back(static_cast<char>('0' + value % 10));
        text.push_back(separators[index]);
    }
    return text;
}
