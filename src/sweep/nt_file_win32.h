// The native file calls the sweep's quarantine needs on Win32, bound at run time from
// NTDLL.DLL (every NT system since NT 4.0 has them; SetFileInformationByHandle, their Win32
// form, came with Vista): files created relative to an open folder, and renames, deletions
// and attribute changes made through an open file rather than by its path, so that they
// reach the very file that is open and no other.
#pragma once

#include <windows.h>

#include <string>

// Every call RETURNS 0 or a Win32 error number; ERROR_CALL_NOT_IMPLEMENTED when NTDLL.DLL
// lacks the call.

// NtCreateFile of `name` relative to the open `folder`: `disposition` FILE_CREATE (never an
// existing name, link or not), FILE_OPEN or FILE_OPEN_IF; FILE_OPEN_REPARSE_POINT and
// synchronous I/O always. *file is closed with CloseHandle.
DWORD CreateRelativeFile(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                         ULONG disposition, ULONG options, HANDLE* file);
// Renames the open file (opened with DELETE) to `name`, relative to the open `folder`, or, with
// no folder, to a full path ("\??\C:\..."). Never replaces what holds that name.
DWORD RenameOpenFile(HANDLE file, HANDLE folder, const std::wstring& name);
// Marks the open file (opened with DELETE and FILE_WRITE_ATTRIBUTES) for deletion when its last
// handle closes. A read-only file has the attribute cleared through the handle first, and put
// back when the deletion is refused.
DWORD DeleteOpenFile(HANDLE file);
