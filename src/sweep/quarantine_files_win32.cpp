// The quarantine's files on Win32: NtCreateFile relative to the folder's handle, never
// following a reparse point; regular files only; the manifest locked with LockFileEx against
// the other sweeps of this host.
#include "sweep/nt_file_win32.h"
#include "sweep/quarantine_files.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

#include <winternl.h>

const int32_t kQuarantineNameTaken = ERROR_ALREADY_EXISTS;
const int32_t kQuarantineOtherDevice = ERROR_NOT_SAME_DEVICE;   // two shares of one volume too

namespace {

HANDLE Folder(const SweepContext* context)
{
    return reinterpret_cast<HANDLE>(context->quarantineFolder);
}

HANDLE Handle(QuarantineFile file)
{
    return reinterpret_cast<HANDLE>(file);
}

bool IsPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    return GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

int32_t OpenInQuarantine(SweepContext* context, const std::string& name, QuarantineOpen mode,
                         QuarantineFile* file)
{
    ACCESS_MASK access = GENERIC_READ;
    ULONG share = FILE_SHARE_READ;
    ULONG disposition = FILE_OPEN;
    switch (mode) {
    case QuarantineOpen::kCreateNew:
        access = GENERIC_WRITE | DELETE;
        share = 0;
        disposition = FILE_CREATE;
        break;
    case QuarantineOpen::kRead:
        break;
    case QuarantineOpen::kAppend:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        disposition = FILE_OPEN_IF;
        break;
    }
    HANDLE opened = INVALID_HANDLE_VALUE;
    DWORD error = CreateRelativeFile(Folder(context), Utf8ToWide(name), access, share, disposition,
                                     FILE_NON_DIRECTORY_FILE, &opened);
    if (error == ERROR_FILE_EXISTS) {
        error = ERROR_ALREADY_EXISTS;
    }
    if (error != 0) {
        return static_cast<int32_t>(error);
    }
    if (!IsPlainFile(opened)) {
        CloseHandle(opened);
        return ERROR_INVALID_FUNCTION;
    }
    if (mode == QuarantineOpen::kAppend) {
        // Other sweeps of this host append to the same manifest: one at a time.
        OVERLAPPED whole = {};
        if (!LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
            error = GetLastError();
            CloseHandle(opened);
            return static_cast<int32_t>(error);
        }
    }
    *file = reinterpret_cast<QuarantineFile>(opened);
    return 0;
}

int32_t ReadQuarantineFile(QuarantineFile file, uint64_t offset, char* into, uint32_t size,
                           uint32_t* got)
{
    *got = 0;
    while (*got < size) {
        OVERLAPPED position = {};
        position.Offset = static_cast<DWORD>(offset + *got);
        position.OffsetHigh = static_cast<DWORD>((offset + *got) >> 32);
        DWORD read = 0;
        if (!ReadFile(Handle(file), into + *got, size - *got, &read, &position)) {
            DWORD error = GetLastError();
            return error == ERROR_HANDLE_EOF ? 0 : static_cast<int32_t>(error);
        }
        if (read == 0) {
            break;
        }
        *got += read;
    }
    return 0;
}

int32_t WriteQuarantineFile(QuarantineFile file, const char* bytes, size_t size)
{
    // At the end: where a new file is written anyway, and where the manifest is appended to.
    LARGE_INTEGER none = {};
    if (!SetFilePointerEx(Handle(file), none, nullptr, FILE_END)) {
        return static_cast<int32_t>(GetLastError());
    }
    while (size > 0) {
        DWORD part = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(Handle(file), bytes, part, &written, nullptr)) {
            return static_cast<int32_t>(GetLastError());
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        bytes += written;
        size -= written;
    }
    return 0;
}

int32_t QuarantineFileSize(QuarantineFile file, uint64_t* size)
{
    LARGE_INTEGER value = {};
    if (!GetFileSizeEx(Handle(file), &value)) {
        return static_cast<int32_t>(GetLastError());
    }
    *size = static_cast<uint64_t>(value.QuadPart);
    return 0;
}

int32_t TruncateQuarantineFile(QuarantineFile file, uint64_t size)
{
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(file))) {
        return static_cast<int32_t>(GetLastError());
    }
    return 0;
}

int32_t FlushQuarantineFile(QuarantineFile file)
{
    return FlushFileBuffers(Handle(file)) ? 0 : static_cast<int32_t>(GetLastError());
}

void CloseQuarantineFile(QuarantineFile file)
{
    CloseHandle(Handle(file));
}

int32_t FlushQuarantineFolder(SweepContext* context)
{
    // Windows before 8 does not flush a folder; NTFS logs the folder's changes itself.
    FlushFileBuffers(Folder(context));
    return 0;
}

int32_t DeleteInQuarantine(SweepContext* context, const std::string& name)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = CreateRelativeFile(Folder(context), Utf8ToWide(name),
                                     DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
                                     FILE_OPEN, FILE_NON_DIRECTORY_FILE, &file);
    if (error == 0) {
        error = DeleteOpenFile(file);
        CloseHandle(file);
    }
    return static_cast<int32_t>(error);
}

bool RegularFileInQuarantine(SweepContext* context, const std::string& name)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    if (CreateRelativeFile(Folder(context), Utf8ToWide(name), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                           FILE_NON_DIRECTORY_FILE, &file) != 0) {
        return false;
    }
    bool plain = IsPlainFile(file);
    CloseHandle(file);
    return plain;
}

bool WorkOwnerGone(const WorkOwner& self, const WorkOwner& maker)
{
    if (maker.host != self.host || maker.processId == 0 || maker.processId == self.processId) {
        return false;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, maker.processId);
    if (process == nullptr) {
        // No such process. ACCESS_DENIED and the like say that one runs.
        return GetLastError() == ERROR_INVALID_PARAMETER;
    }
    // Ended: its id is held only by handles that others keep open.
    bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}
