#include "sweep/nt_file_win32.h"

#include "run/system_library.h"

#include <winternl.h>

#include <cstring>
#include <vector>

namespace {

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                              PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                              ULONG, PVOID, ULONG);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                      FILE_INFORMATION_CLASS);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);

constexpr NTSTATUS kStatusCannotDelete = static_cast<NTSTATUS>(0xC0000121L);

struct NativeCalls {
    NtCreateFileFunction createFile = nullptr;
    NtSetInformationFileFunction setInformation = nullptr;
    RtlNtStatusToDosErrorFunction errorOf = nullptr;
};

// NTDLL.DLL is in every process from its start: looked up, never loaded.
const NativeCalls& Native()
{
    static const NativeCalls calls = [] {
        NativeCalls bound;
        HMODULE library = GetModuleHandleW(L"ntdll.dll");
        if (library != nullptr) {
            bound.createFile = LookUpEntryPoint<NtCreateFileFunction>(library, "NtCreateFile");
            bound.setInformation =
                LookUpEntryPoint<NtSetInformationFileFunction>(library, "NtSetInformationFile");
            bound.errorOf =
                LookUpEntryPoint<RtlNtStatusToDosErrorFunction>(library, "RtlNtStatusToDosError");
        }
        if (bound.createFile == nullptr || bound.setInformation == nullptr ||
            bound.errorOf == nullptr) {
            bound = NativeCalls();
        }
        return bound;
    }();
    return calls;
}

DWORD ErrorOf(NTSTATUS status)
{
    return status >= 0 ? 0 : static_cast<DWORD>(Native().errorOf(status));
}

// The deletion flag of FILE_DISPOSITION_INFORMATION (its member's name collides with the
// DeleteFile macro of <windows.h>).
struct DispositionInformation {
    BOOLEAN deleteFile;
};

NTSTATUS SetInformation(HANDLE file, void* information, ULONG size, FILE_INFORMATION_CLASS kind)
{
    IO_STATUS_BLOCK status = {};
    return Native().setInformation(file, &status, information, size, kind);
}

// The attributes a program may set.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The file's attributes through the handle; times left as they are (0: unchanged).
NTSTATUS SetAttributes(HANDLE file, DWORD attributes)
{
    FILE_BASIC_INFORMATION basic = {};
    attributes &= kSettableAttributes;
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetInformation(file, &basic, sizeof(basic), FileBasicInformation);
}

}  // namespace

DWORD CreateRelativeFile(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                         ULONG disposition, ULONG options, HANDLE* file)
{
    if (Native().createFile == nullptr) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    const size_t bytes = name.size() * sizeof(wchar_t);
    if (name.empty() || bytes > 0xFFFE) {
        return ERROR_INVALID_NAME;
    }
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = static_cast<USHORT>(bytes);
    text.MaximumLength = static_cast<USHORT>(bytes);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE opened = INVALID_HANDLE_VALUE;
    NTSTATUS result = Native().createFile(
        &opened, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (result < 0) {
        return ErrorOf(result);
    }
    *file = opened;
    return 0;
}

DWORD RenameOpenFile(HANDLE file, HANDLE folder, const std::wstring& name)
{
    if (Native().setInformation == nullptr) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    const size_t bytes = name.size() * sizeof(wchar_t);
    if (name.empty() || bytes > 0xFFFE) {
        return ERROR_INVALID_NAME;
    }
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + bytes, 0);
    FILE_RENAME_INFORMATION* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(rename->FileName, name.data(), bytes);
    return ErrorOf(
        SetInformation(file, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation));
}

DWORD DeleteOpenFile(HANDLE file)
{
    if (Native().setInformation == nullptr) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    DispositionInformation disposition = {TRUE};
    NTSTATUS result =
        SetInformation(file, &disposition, sizeof(disposition), FileDispositionInformation);
    BY_HANDLE_FILE_INFORMATION information = {};
    if (result != kStatusCannotDelete || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return ErrorOf(result);
    }
    // Read-only: cleared on this very file, and put back when it still may not go.
    const DWORD attributes = information.dwFileAttributes;
    result = SetAttributes(file, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (result >= 0) {
        result =
            SetInformation(file, &disposition, sizeof(disposition), FileDispositionInformation);
        if (result < 0) {
            SetAttributes(file, attributes);
        }
    }
    return ErrorOf(result);
}
