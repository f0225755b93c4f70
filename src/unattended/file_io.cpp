// The launcher's few file operations, on the platform's own calls: sizes, whole reads, copies,
// appends and folders. Every handle is closed on the way out of the function that opened it.
#include "unattended/unattended.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kChunkSize = 16384;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE OpenForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes all `size` bytes. RETURNS 0 or the error number (ERROR_WRITE_FAULT for a short write).
uint32_t WriteAll(HANDLE file, const char* bytes, size_t size)
{
    while (size > 0) {
        DWORD piece = size > kChunkSize ? kChunkSize : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, piece, &written, nullptr)) {
            return GetLastError();
        }
        if (written != piece) {
            return ERROR_WRITE_FAULT;
        }
        bytes += piece;
        size -= piece;
    }
    return 0;
}

}  // namespace

bool JoinPath(char* out, size_t size, const char* folder, const char* name)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    out[0] = '\0';
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    bool separator = folderLength > 0 && folder[folderLength - 1] != '\\' &&
                     folder[folderLength - 1] != '/';
    size_t total = folderLength + (separator ? 1 : 0) + nameLength;
    if (total >= size) {
        return false;
    }
    memcpy(out, folder, folderLength);
    if (separator) {
        out[folderLength] = '\\';
    }
    memcpy(out + folderLength + (separator ? 1 : 0), name, nameLength + 1);
    return true;
}

bool GetFileSizeOf(const char* path, uint64_t* size)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    bool known = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    CloseHandle(file);
    if (known) {
        *size = (static_cast<uint64_t>(high) << 32) | low;
    }
    return known;
}

bool ReadFileChunks(const char* path, ChunkSink sink, void* context)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    static char chunk[kChunkSize];
    bool whole = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
            whole = false;
            break;
        }
        if (got == 0) {
            break;
        }
        sink(context, chunk, got > sizeof(chunk) ? sizeof(chunk) : got);
    }
    CloseHandle(file);
    return whole;
}

uint32_t CopyWholeFile(const char* from, const char* to)
{
    HANDLE source = OpenForReading(from);
    if (source == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    // A copy left read-only by someone would refuse to be replaced.
    SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    HANDLE target = CreateFileA(to, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    uint32_t result = 0;
    if (target == INVALID_HANDLE_VALUE) {
        result = GetLastError();
    } else {
        static char chunk[kChunkSize];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(source, chunk, sizeof(chunk), &got, nullptr)) {
                result = GetLastError();
                break;
            }
            if (got == 0) {
                break;
            }
            result = WriteAll(target, chunk, got > sizeof(chunk) ? sizeof(chunk) : got);
            if (result != 0) {
                break;
            }
        }
        if (!CloseHandle(target) && result == 0) {
            result = GetLastError();
        }
    }
    CloseHandle(source);
    return result;
}

uint32_t AppendToFile(const char* path, const char* bytes, size_t size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    uint32_t result = 0;
    LONG high = 0;
    if (SetFilePointer(file, 0, &high, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        result = GetLastError();
    } else {
        result = WriteAll(file, bytes, size);
    }
    if (!CloseHandle(file) && result == 0) {
        result = GetLastError();
    }
    return result;
}

uint32_t EnsureFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_ALREADY_EXISTS;
    }
    if (CreateDirectoryA(path, nullptr)) {
        return 0;
    }
    uint32_t error = GetLastError();
    // Another process may have made it in the meantime.
    attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return error != 0 ? error : ERROR_GEN_FAILURE;
}
