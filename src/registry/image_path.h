// Which file a service's ImagePath names, so that a key is deleted only when its service
// runs the worm's file.
#pragma once

#include <windows.h>

#include <cstddef>

// Whether the program that `imagePath` (its `length` bytes, not necessarily ended) runs has the
// file name `fileName`, ASCII letter case ignored. The program's path is what the service
// control manager would start: the text between the first pair of quotation marks, or, unquoted,
// the text up to the first blank whose last component holds a '.', or the whole text; its file
// name is what follows its last backslash or slash, so any folder form matches
// ("%SystemRoot%\\system32\\x.exe", "\\??\\C:\\x.exe", "\"C:\\x.exe\" -k", "x.exe").
bool ImagePathNamesFile(const char* imagePath, size_t length, const char* fileName);

// Reads the "ImagePath" value of an open service key into `imagePath` (kRegistryTextSize
// bytes, cleared first); *bytesRead gets the bytes delivered. The value's type is not examined.
// RETURNS false when the value is absent or does not fit the buffer.
bool ReadImagePath(HKEY key, BYTE* imagePath, DWORD* bytesRead);
