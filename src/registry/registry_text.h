// Registry data taken as text: only up to its first zero byte and never beyond the bytes the
// platform delivered, so data without a terminator (binary data filling the whole buffer,
// for instance) is never read past.
#pragma once

#include <windows.h>

#include <cstddef>

// The length of the text in `data`: the bytes before the first zero among the first
// min(bytesRead, bufferSize) bytes.
size_t RegistryTextLength(const BYTE* data, size_t bufferSize, DWORD bytesRead);

// Copies that text into `out` (outSize bytes, at least one more than the text) and ends it.
// RETURNS false, with `out` empty, when the text does not fit.
bool CopyRegistryText(char* out, size_t outSize, const BYTE* data, size_t bufferSize,
                      DWORD bytesRead);

// Whether the `length` bytes of `text` equal the whole of `expected`, the ASCII letters A to Z
// compared without regard to case and every other byte exactly.
bool EqualsIgnoringAsciiCase(const char* text, size_t length, const char* expected);
