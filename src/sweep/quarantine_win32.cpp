// Quarantine and removal on Win32. Others may write to the swept tree while the sweep runs:
// the found file is opened again with DELETE access, without following a reparse point (but
// for a file the sweep reached through a link), and with a share mode that lets nobody else
// write, rename or delete it; it is acted on only when it is still the file scanned (volume
// serial number, file index, size, last-write time), and then only through that handle: it is
// renamed into the quarantine, copied from, or deleted as the open file itself. Its part in a
// move (whose order of steps is MoveReachedFile's): on one volume it is renamed into the
// quarantine; across volumes (or where the rename says ERROR_NOT_SAME_DEVICE) a temporary copy
// is written, flushed, checked and renamed into place, and the original deleted last.
#include "sweep/nt_file_win32.h"
#include "sweep/quarantine_files.h"
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

#include <winternl.h>

#include <vector>

struct ReachedFile {
    HANDLE file;                // open with DELETE, checked
    const FileOutcome* outcome;
};

namespace {

constexpr uint32_t kMaxNameTries = 1000;
constexpr DWORD kCopyChunk = 65536;

HANDLE Folder(const SweepContext* context)
{
    return reinterpret_cast<HANDLE>(context->quarantineFolder);
}

uint64_t Join(DWORD high, DWORD low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}

// Whether the open file is the one scanned: a file (no folder, and no reparse point unless
// reached through a link) with the same volume, index, size and last-write time.
bool SameFile(HANDLE file, const FileIdentity& identity, bool follow)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) {
        return false;
    }
    DWORD notWanted = FILE_ATTRIBUTE_DIRECTORY | (follow ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
    return (information.dwFileAttributes & notWanted) == 0 &&
           information.dwVolumeSerialNumber == identity.device &&
           Join(information.nFileIndexHigh, information.nFileIndexLow) == identity.index &&
           Join(information.nFileSizeHigh, information.nFileSizeLow) == identity.size &&
           Join(information.ftLastWriteTime.dwHighDateTime,
                information.ftLastWriteTime.dwLowDateTime) == identity.changed;
}

// The found file opened for its action: DELETE (and reading, and its attributes), shared
// for reading only, so that nobody writes, renames or deletes it while the sweep holds it;
// checked to be the file scanned. RETURNS 0 with *file, kErrorChangedSinceScan or the error.
int32_t OpenScannedFile(const FileOutcome& outcome, HANDLE* file)
{
    std::wstring wide = ExtendedPath(outcome.path, outcome.rootLength);   // as the scan opened it
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (outcome.follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE opened = wide.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wide.c_str(), DELETE | GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
    }
    if (!SameFile(opened, outcome.identity, outcome.follow)) {
        CloseHandle(opened);
        return kErrorChangedSinceScan;
    }
    *file = opened;
    return 0;
}

// The full path of a file for a rename by path: "\??\C:\..." or "\??\UNC\server\...".
std::wstring NativePath(std::wstring wide)
{
    if (wide.compare(0, 4, L"\\\\?\\") == 0) {
        wide[1] = L'?';
    }
    return wide;
}

bool NameTaken(SweepContext* context, const std::string& name, DWORD* error)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    *error = CreateRelativeFile(Folder(context), Utf8ToWide(name), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                0, &file);
    if (*error == 0) {
        CloseHandle(file);
        return true;
    }
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) {
        *error = 0;
    }
    return false;
}

// A quarantine name that nothing holds yet. RETURNS 0 with *name, or the error.
int32_t FreshName(SweepContext* context, std::time_t now, std::string* name)
{
    for (uint32_t tries = 0; tries < kMaxNameTries; ++tries) {
        *name = QuarantineName(now, context->self.host, context->self.processId,
                               context->quarantineCounter.fetch_add(1) + 1);
        DWORD error = 0;
        if (!NameTaken(context, *name, &error)) {
            return static_cast<int32_t>(error);
        }
    }
    return ERROR_ALREADY_EXISTS;
}

// Copies the open, checked file into a new temporary file in the quarantine (created
// exclusively: never through a link put at its name), flushed; the copy must hold as many
// bytes as the file had when scanned. RETURNS 0 with *copy open (to be renamed), or the
// error (the temporary deleted).
int32_t CopyToTemporary(SweepContext* context, HANDLE source, const FileIdentity& identity,
                        HANDLE* copy)
{
    int32_t error = kQuarantineNameTaken;
    QuarantineFile target = kNoQuarantineFile;
    for (uint32_t tries = 0; tries < kMaxNameTries && error == kQuarantineNameTaken; ++tries) {
        error = OpenInQuarantine(context, NextWorkName(context, kCopySuffix),
                                 QuarantineOpen::kCreateNew, &target);
    }
    if (error != 0) {
        return error;
    }
    std::vector<char> chunk(kCopyChunk);
    uint64_t copied = 0;
    for (;;) {
        uint32_t got = 0;
        error = ReadQuarantineFile(reinterpret_cast<QuarantineFile>(source), copied, chunk.data(),
                                   kCopyChunk, &got);
        if (error != 0 || got == 0) {
            break;
        }
        error = WriteQuarantineFile(target, chunk.data(), got);
        if (error != 0) {
            break;
        }
        copied += got;
    }
    uint64_t size = 0;
    if (error == 0) {
        error = FlushQuarantineFile(target);
    }
    if (error == 0 &&
        (QuarantineFileSize(target, &size) != 0 || size != copied || copied != identity.size)) {
        error = ERROR_WRITE_FAULT;   // the copy is not the whole file as it was scanned
    }
    if (error != 0) {
        DeleteOpenFile(reinterpret_cast<HANDLE>(target));
        CloseQuarantineFile(target);
        return error;
    }
    *copy = reinterpret_cast<HANDLE>(target);
    return 0;
}

// Every missing folder of the path, from the top.
void MakeFolders(const std::string& path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '\\' || path[at] == '/') {
            CreateDirectoryW(ExtendedPath(path.substr(0, at)).c_str(), nullptr);
        }
    }
}

// The names of the work files in the quarantine folder.
std::vector<std::string> WorkNamesIn(const SweepContext* context)
{
    std::vector<std::string> names;
    std::string pattern = context->quarantineDir;
    if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) {
        pattern.push_back('\\');
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(ExtendedPath(pattern + ".purgekit-*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(WideToUtf8(entry.cFileName, wcslen(entry.cFileName)));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

}  // namespace

int32_t RenameReachedFile(SweepContext* context, ReachedFile* file, const std::string& final)
{
    return static_cast<int32_t>(RenameOpenFile(file->file, Folder(context), Utf8ToWide(final)));
}

int32_t CopyReachedFile(SweepContext* context, ReachedFile* file, const std::string& final)
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    int32_t error = CopyToTemporary(context, file->file, file->outcome->identity, &copy);
    if (error == 0) {
        error = static_cast<int32_t>(RenameOpenFile(copy, Folder(context), Utf8ToWide(final)));
        if (error != 0) {
            DeleteOpenFile(copy);
        }
        CloseHandle(copy);
    }
    return error;
}

// Back where the scan found it: its own path when it was reached through a link.
int32_t PutReachedFileBack(SweepContext*, ReachedFile* file, const std::string&)
{
    const FileOutcome& outcome = *file->outcome;
    std::wstring place = outcome.ownPath.empty() ? ExtendedPath(outcome.path, outcome.rootLength)
                                                 : ExtendedPath(outcome.ownPath);
    return static_cast<int32_t>(RenameOpenFile(file->file, nullptr, NativePath(place)));
}

int32_t FinishReachedFile(SweepContext*, ReachedFile* file, const std::string&, bool copied)
{
    return copied ? static_cast<int32_t>(DeleteOpenFile(file->file)) : 0;
}

WorkOwner ThisProcess()
{
    WorkOwner self;
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    self.host =
        HostLabel(GetComputerNameW(name, &length) ? WideToUtf8(name, length) : std::string());
    self.processId = GetCurrentProcessId();
    return self;
}

int32_t PrepareQuarantine(SweepContext* context)
{
    context->quarantineDir = context->options->moveTo;
    MakeFolders(context->quarantineDir);
    std::wstring wide = ExtendedPath(context->quarantineDir);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return wide.empty() ? ERROR_INVALID_NAME : static_cast<int32_t>(GetLastError());
    }
    // Held open without FILE_SHARE_DELETE: nobody renames or deletes the folder meanwhile.
    HANDLE folder = CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                                              FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return static_cast<int32_t>(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    int32_t error =
        !GetFileInformationByHandle(folder, &information) ? static_cast<int32_t>(GetLastError())
        // (Wine shows a link by the path's attributes only)
        : ((information.dwFileAttributes | attributes) & FILE_ATTRIBUTE_REPARSE_POINT) != 0
            ? kErrorQuarantineLink
        : (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? ERROR_DIRECTORY
                                                                         : 0;
    if (error != 0) {
        CloseHandle(folder);
        return error;
    }
    context->quarantineFolder = reinterpret_cast<intptr_t>(folder);
    context->quarantineDevice = information.dwVolumeSerialNumber;
    context->quarantineIndex = Join(information.nFileIndexHigh, information.nFileIndexLow);
    context->manifestName = ManifestName(context->self.host);
    FinishStaleWork(context, WorkNamesIn(context), false);
    return 0;
}

void CloseQuarantine(SweepContext* context)
{
    if (context->quarantineFolder != -1) {
        CloseHandle(Folder(context));
        context->quarantineFolder = -1;
    }
}

void MoveToQuarantine(SweepContext* context, FileOutcome* outcome)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    int32_t error = OpenScannedFile(*outcome, &file);
    std::time_t now = std::time(nullptr);
    std::string final;
    if (error == 0) {
        error = FreshName(context, now, &final);
    }
    if (error == 0) {
        ReachedFile reached{file, outcome};
        error = MoveReachedFile(context, *outcome, &reached, now, final);
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    outcome->action = error == 0 ? FoundAction::kMoved : FoundAction::kFailed;
    outcome->actionError = error;
    outcome->quarantineName = error == 0 ? final : std::string();
}

void RemoveFoundFile(SweepContext*, FileOutcome* outcome)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    int32_t error = OpenScannedFile(*outcome, &file);
    if (error == 0) {
        error = static_cast<int32_t>(DeleteOpenFile(file));
        CloseHandle(file);
    }
    outcome->action = error == 0 ? FoundAction::kRemoved : FoundAction::kFailed;
    outcome->actionError = error;
}
