// What a service's ImagePath starts, so that a key is deleted only when its service runs the
// worm.
#pragma once

#include <windows.h>

#include <cstddef>

// The program path within `imagePath` (its `length` bytes, not necessarily ended), as the
// service control manager takes it from the command line: after leading blanks, the text
// between the first pair of quotation marks, or, unquoted, the text up to the first blank
// whose last component holds a '.' ("C:\Program Files\x.exe -k" runs x.exe).
// *start and *count receive where it begins and how many bytes it has.
// RETURNS false when there is none: empty, or unquoted with no component holding a '.'.
bool ImagePathProgram(const char* imagePath, size_t length, size_t* start, size_t* count);

// The file that program path names, as the service manager would start it, into `path`
// (`size` bytes): environment variables expanded ("%SystemRoot%\system32\x.exe"), an NT
// object prefix taken away ("\??\C:\x.exe"), a path relative to the Windows folder
// ("system32\x.exe", "\SystemRoot\system32\x.exe") resolved against it, a bare name
// ("x.exe") against the system folder; a full path ("C:\...", "\\server\...") as it is.
// RETURNS false when ImagePath names no program, or the path, at any step, does not fit
// kPathSize bytes or the platform's folders cannot be obtained: such a path is never used.
bool ResolveImagePathProgram(const char* imagePath, size_t length, char* path, size_t size);

// Reads the "ImagePath" value of an open service key into `imagePath` (kRegistryTextSize
// bytes, cleared first); *bytesRead gets the bytes delivered. The value's type is not examined.
// RETURNS false when the value is absent or does not fit the buffer.
bool ReadImagePath(HKEY key, BYTE* imagePath, DWORD* bytesRead);
