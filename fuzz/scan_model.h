// An independent model of the signature scan over bytes held in memory, for differential
// fuzzing: what ScanFileForSignatures must return for a file with exactly these bytes that
// does not change while it is read. It states the rules once more, as plainly as possible,
// including the treatment of bytes that a read did not deliver.
#pragma once

#include "detect/detect.h"

#include <cstddef>

ScanResult ModelScan(const uint8_t* file, size_t size, const SignatureEntry* entries, uint32_t count);
