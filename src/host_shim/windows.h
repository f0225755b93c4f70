// Host stand-in for <windows.h> in the native Linux builds (fuzz target, benchmark, stand-in
// maker, the native sweep), shared by all of them: the two
// attribute calls it makes, and their constants, over POSIX file modes. Nothing else of the
// platform is offered, so the detection code cannot come to depend on more unnoticed.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef const char* LPCSTR;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// A folder, or a file read as archive; read-only when the owner may not write.
// RETURNS INVALID_FILE_ATTRIBUTES when the path names nothing.
DWORD GetFileAttributesA(LPCSTR path);

// Read-only takes the write permissions away, anything else gives the owner's back; the
// other attributes have no host counterpart. RETURNS FALSE when the path names nothing or
// the mode cannot be changed.
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
