// The results tree on Win32, through "\\?\" paths (no 260-character limit). Any reparse point
// (symbolic link, junction, mount point) is taken for a link and not entered or read: a folder
// written by a machine cannot point the report at other files. Only disk files are read,
// read-only, shared with writers so that a launcher still appending is not disturbed.
#include "report/report_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

namespace {

EntryKind KindOfAttributes(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::kLink;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::kFolder;
    }
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? EntryKind::kOther : EntryKind::kFile;
}

}  // namespace

int32_t OpenResultsFolder(const std::string& path, TreeFolder* folder, int32_t* error)
{
    folder->handle = -1;
    folder->path = path;
    std::wstring wide = ExtendedPath(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
        return kTreeSystem;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kTreeOk : kTreeNotFolder;
}

int32_t OpenTreeFolder(const TreeFolder& parent, const std::string& name, TreeFolder* folder,
                       int32_t* error)
{
    folder->handle = -1;
    folder->path = JoinPath(parent.path, name);
    std::wstring wide = ExtendedPath(folder->path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
        return kTreeSystem;
    }
    switch (KindOfAttributes(attributes)) {
    case EntryKind::kLink: return kTreeLink;
    case EntryKind::kFolder: return kTreeOk;
    default: return kTreeNotFolder;
    }
}

void CloseTreeFolder(TreeFolder* folder)
{
    folder->handle = -1;
}

int32_t ListTreeFolder(const TreeFolder& folder, std::vector<TreeEntry>* entries, int32_t* error)
{
    std::wstring pattern = ExtendedPath(folder.path);
    if (pattern.empty()) {
        *error = ERROR_INVALID_NAME;
        return kTreeSystem;
    }
    pattern += pattern.back() == L'\\' ? L"*" : L"\\*";
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD last = GetLastError();
        if (last == ERROR_FILE_NOT_FOUND || last == ERROR_NO_MORE_FILES) {
            return kTreeOk;   // an empty folder has not even "." on some file systems
        }
        *error = static_cast<int32_t>(last);
        return kTreeSystem;
    }
    int32_t status = kTreeOk;
    for (;;) {
        const wchar_t* name = entry.cFileName;
        if (!(name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))) {
            entries->push_back(TreeEntry{WideToUtf8(name, wcslen(name)),
                                         KindOfAttributes(entry.dwFileAttributes)});
        }
        if (!FindNextFileW(find, &entry)) {
            DWORD last = GetLastError();
            if (last != ERROR_NO_MORE_FILES) {
                *error = static_cast<int32_t>(last);
                status = kTreeSystem;
            }
            break;
        }
    }
    FindClose(find);
    return status;
}

int32_t OpenTreeFile(const TreeFolder& folder, const std::string& name, TreeFile* file,
                     int32_t* error)
{
    file->handle = -1;
    std::wstring wide = ExtendedPath(JoinPath(folder.path, name));
    if (wide.empty()) {
        *error = ERROR_INVALID_NAME;
        return kTreeSystem;
    }
    HANDLE handle = CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = static_cast<int32_t>(GetLastError());
        return kTreeSystem;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    int32_t status = kTreeOk;
    if (!GetFileInformationByHandle(handle, &information)) {
        *error = static_cast<int32_t>(GetLastError());
        status = kTreeSystem;
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        status = kTreeLink;
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
               GetFileType(handle) != FILE_TYPE_DISK) {
        status = kTreeNotFile;
    }
    if (status != kTreeOk) {
        CloseHandle(handle);
        return status;
    }
    file->handle = reinterpret_cast<intptr_t>(handle);
    return kTreeOk;
}

int32_t ReadTreeFile(TreeFile* file, char* into, size_t size, size_t* got, int32_t* error)
{
    DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file->handle), into, wanted, &read, nullptr)) {
        DWORD last = GetLastError();
        *got = 0;
        if (last == ERROR_HANDLE_EOF || last == ERROR_BROKEN_PIPE) {
            return kTreeOk;
        }
        *error = static_cast<int32_t>(last);
        return kTreeSystem;
    }
    *got = read;
    return kTreeOk;
}

void CloseTreeFile(TreeFile* file)
{
    if (file->handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(file->handle));
        file->handle = -1;
    }
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') {
        return folder + name;
    }
    return folder + "\\" + name;
}
