// JSON text for the programs that write or read JSON Lines (the sweep, the unattended runs, the
// outbreak report). Plain C++ for Windows and Linux alike.
#pragma once

#include <cstddef>
#include <string>

// Appends `text` as a JSON string (with its quotes): valid UTF-8 kept, control characters
// as \n, \t, \uXXXX, and every byte that is not part of valid UTF-8 as "\udcXX" (Python's
// surrogateescape), so a reader gets the original bytes back.
void AppendJsonString(std::string* out, const std::string& text);

// The same into a fixed buffer: appends the `length` bytes of `text` as a JSON string to the
// NUL-terminated text in `out` (a buffer of `size` bytes). RETURNS false, `out` unchanged,
// when the string does not fit. For the programs built without the C++ library's strings.
bool AppendJsonStringTo(char* out, size_t size, const char* text, size_t length);
