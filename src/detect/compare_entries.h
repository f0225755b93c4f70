// Testing one signature set against the bytes of a file's window, already read.
#pragma once

#include "detect/detect.h"

// Whether `count` entries are a set the scan accepts: 1 to 3 of them, no length above 48.
bool EntriesValid(const SignatureEntry* entries, uint32_t count);

// Each entry in order against the `have` bytes of the window (read at offset 0) that arrived.
// RETURNS: 1 all matched; 0 at the first entry past the file's end, past the first 65,536
//   bytes, past the bytes that arrived, or unequal.
ScanResult CompareEntries(const uint8_t* window, uint32_t have, uint32_t fileSize,
                          const SignatureEntry* entries, uint32_t count);
