// Quarantine and removal on Win32, in the same order as on POSIX so that a kill at any moment
// loses nothing: on one volume the manifest line is made durable and the file renamed; across
// volumes a temporary copy is written, flushed and checked, renamed into place, recorded, and
// only then is the original deleted. Read-only is cleared just before a delete and put back
// when the delete fails.
#include "sweep/quarantine_record.h"
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

namespace {

constexpr char kManifestName[] = "quarantine.tsv";

std::string InFolder(const SweepContext* context, const std::string& name)
{
    std::string path = context->quarantineDir;
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) {
        path.push_back('\\');
    }
    return path + name;
}

// The volume serial number of a file or folder (and its file index). RETURNS 0 or the error.
DWORD VolumeOf(const std::wstring& path, DWORD* volume, uint64_t* index = nullptr)
{
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    DWORD error = GetFileInformationByHandle(handle, &information) ? 0 : GetLastError();
    CloseHandle(handle);
    *volume = information.dwVolumeSerialNumber;
    if (index != nullptr) {
        *index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    return error;
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

void RemoveStaleCopies(const SweepContext* context)
{
    WIN32_FIND_DATAW entry;
    std::wstring pattern = ExtendedPath(InFolder(context, ".purgekit-*.tmp"));
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::string name = WideToUtf8(entry.cFileName, wcslen(entry.cFileName));
        uint32_t processId = 0;
        if (!ParseTemporaryName(name, &processId)) {
            continue;
        }
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        if (process != nullptr) {
            CloseHandle(process);
            continue;   // its run goes on
        }
        std::wstring stale = ExtendedPath(InFolder(context, name));
        SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(stale.c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

DWORD AppendManifest(SweepContext* context, const std::string& line)
{
    std::lock_guard<std::mutex> hold(context->manifestLock);
    HANDLE file = CreateFileW(ExtendedPath(InFolder(context, kManifestName)).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD written = 0;
    DWORD error = 0;
    if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        error = GetLastError();
    } else if (written != line.size()) {
        error = ERROR_WRITE_FAULT;
    } else if (!FlushFileBuffers(file)) {
        error = GetLastError();
    }
    CloseHandle(file);
    return error;
}

// A fresh name in the quarantine folder that nothing holds yet. RETURNS 0 with *name, or the
// error that keeps any name there from being used.
DWORD FreshName(SweepContext* context, std::time_t now, std::string* name)
{
    for (;;) {
        *name = QuarantineName(now, GetCurrentProcessId(), context->quarantineCounter.fetch_add(1) + 1);
        if (GetFileAttributesW(ExtendedPath(InFolder(context, *name)).c_str()) == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND ? 0 : error;
        }
    }
}

// Deletes a file, clearing read-only first and putting the attributes back on failure.
DWORD DeleteClearingReadOnly(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (DeleteFileW(path.c_str())) {
        return 0;
    }
    DWORD error = GetLastError();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(path.c_str(), attributes);
    }
    return error;
}

DWORD MoveOnOneVolume(SweepContext* context, const FileOutcome& outcome, const std::wstring& from,
                      std::time_t now, const std::string& name)
{
    DWORD error = AppendManifest(context, ManifestLine(outcome, now, name));
    if (error == 0 && !MoveFileExW(from.c_str(), ExtendedPath(InFolder(context, name)).c_str(),
                                   MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    return error;
}

// The copy into a temporary name, flushed and its size checked against the original's.
DWORD CopyIntoQuarantine(SweepContext* context, const std::wstring& from, uint64_t size,
                         std::wstring* temporary)
{
    for (;;) {
        *temporary = ExtendedPath(InFolder(context, TemporaryName(GetCurrentProcessId(),
                                                                  context->quarantineCounter.fetch_add(1) + 1)));
        if (CopyFileW(from.c_str(), temporary->c_str(), TRUE)) {
            break;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return error;
        }
    }
    SetFileAttributesW(temporary->c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE copy = CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = copy == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LARGE_INTEGER copied = {};
    if (error == 0 && !FlushFileBuffers(copy)) {
        error = GetLastError();
    }
    if (error == 0 && !GetFileSizeEx(copy, &copied)) {
        error = GetLastError();
    }
    if (error == 0 && static_cast<uint64_t>(copied.QuadPart) != size) {
        error = ERROR_WRITE_FAULT;   // not the whole file as it was measured
    }
    if (copy != INVALID_HANDLE_VALUE) {
        CloseHandle(copy);
    }
    if (error != 0) {
        DeleteFileW(temporary->c_str());
    }
    return error;
}

DWORD MoveAcrossVolumes(SweepContext* context, const FileOutcome& outcome, const std::wstring& from,
                        std::time_t now, const std::string& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &data)) {
        return GetLastError();
    }
    FileOutcome recorded = outcome;
    recorded.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::wstring temporary;
    std::wstring target = ExtendedPath(InFolder(context, name));
    DWORD error = CopyIntoQuarantine(context, from, recorded.size, &temporary);
    if (error == 0 && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(temporary.c_str());
    }
    if (error == 0) {
        error = AppendManifest(context, ManifestLine(recorded, now, name));
    }
    if (error == 0) {
        error = DeleteClearingReadOnly(from);
        if (error != 0) {
            DeleteFileW(target.c_str());   // the original stays: it is not held twice
        }
    }
    return error;
}

}  // namespace

int32_t PrepareQuarantine(SweepContext* context)
{
    context->quarantineDir = context->options->moveTo;
    MakeFolders(context->quarantineDir);
    std::wstring folder = ExtendedPath(context->quarantineDir);
    DWORD attributes = GetFileAttributesW(folder.c_str());
    DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError()
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? ERROR_DIRECTORY : 0;
    DWORD volume = 0;
    uint64_t index = 0;
    if (error == 0) {
        error = VolumeOf(folder, &volume, &index);
    }
    if (error == 0) {
        context->quarantineDevice = volume;
        context->quarantineIndex = index;
        RemoveStaleCopies(context);
    }
    context->quarantineError = static_cast<int32_t>(error);
    return 0;   // a folder that is not usable fails each move, so every found file says so
}

void MoveToQuarantine(SweepContext* context, FileOutcome* outcome)
{
    std::wstring from = ExtendedPath(outcome->path);
    DWORD error = static_cast<DWORD>(context->quarantineError);
    DWORD volume = 0;
    if (error == 0) {
        error = VolumeOf(from, &volume);
    }
    std::time_t now = std::time(nullptr);
    std::string name;
    if (error == 0) {
        error = FreshName(context, now, &name);
    }
    if (error == 0) {
        error = volume == context->quarantineDevice ? MoveOnOneVolume(context, *outcome, from, now, name)
                                                    : MoveAcrossVolumes(context, *outcome, from, now, name);
    }
    if (error != 0) {
        outcome->action = FoundAction::kFailed;
        outcome->actionError = static_cast<int32_t>(error);
        return;
    }
    outcome->action = FoundAction::kMoved;
    outcome->quarantineName = name;
}

void RemoveFoundFile(SweepContext*, FileOutcome* outcome)
{
    DWORD error = DeleteClearingReadOnly(ExtendedPath(outcome->path));
    outcome->action = error == 0 ? FoundAction::kRemoved : FoundAction::kFailed;
    outcome->actionError = static_cast<int32_t>(error);
}
