#include "detect/compare_entries.h"

#include "detect/byte_reader.h"

#include <cstring>

bool EntriesValid(const SignatureEntry* entries, uint32_t count)
{
    if (entries == nullptr || count < 1 || count > kMaxSignatureEntries) {
        return false;
    }
    for (uint32_t index = 0; index < count; ++index) {
        if (entries[index].length > kMaxPatternLength) {
            return false;
        }
    }
    return true;
}

ScanResult CompareEntries(const uint8_t* window, uint32_t have, uint32_t fileSize,
                          const SignatureEntry* entries, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index) {
        const SignatureEntry& entry = entries[index];
        if (entry.offset > fileSize - entry.length || entry.offset > kWindowSize - entry.length ||
            !FitsIn(have, entry.offset, entry.length)) {
            return kScanNotFound;
        }
        if (std::memcmp(window + entry.offset, entry.pattern, entry.length) != 0) {
            return kScanNotFound;
        }
    }
    return kScanFound;
}
