#include "scan_model.h"

#include <cstring>

namespace {

uint32_t Min(uint64_t a, uint64_t b)
{
    return static_cast<uint32_t>(a < b ? a : b);
}

uint32_t Le(const uint8_t* bytes, int width)
{
    uint32_t value = 0;
    for (int index = width - 1; index >= 0; --index) {
        value = (value << 8) | bytes[index];
    }
    return value;
}

}  // namespace

ScanResult ModelScan(const uint8_t* file, size_t size, const SignatureEntry* entries, uint32_t count)
{
    if (entries == nullptr || count == 0 || count > 3) {
        return kScanInvalidArguments;
    }
    for (uint32_t index = 0; index < count; ++index) {
        if (entries[index].length > 48) {
            return kScanInvalidArguments;
        }
    }
    const uint64_t fileSize = size;
    if (fileSize < 60) {
        return kScanSkipped;
    }
    // Read 1: 256 bytes at 0 (at least 60 arrive).
    const uint32_t dosHave = Min(256, fileSize);
    if (file[0] != 'M' || file[1] != 'Z' || Le(file + 24, 2) < 0x40) {
        return kScanNotPe;
    }
    if (dosHave < 64) {
        return kScanShortRead;   // e_lfanew did not arrive
    }
    const uint32_t peOffset = Le(file + 60, 4);
    if (peOffset >= 0x80000000u) {
        return kScanShortRead;
    }
    // Read 2: 4,096 bytes at e_lfanew.
    const uint32_t peHave = peOffset < fileSize ? Min(4096, fileSize - peOffset) : 0;
    if (peHave <= 48) {
        return kScanShortRead;
    }
    const uint8_t* pe = file + peOffset;
    if (std::memcmp(pe, "PE\0\0", 4) != 0) {
        return kScanNotPe;
    }
    const uint32_t sections = Le(pe + 6, 2);
    const uint32_t tableStart = 24 + Le(pe + 20, 2);
    const uint32_t entryPoint = Le(pe + 40, 4);
    uint32_t entryOffset = 0;
    for (uint32_t index = 0; index < sections; ++index) {
        const uint64_t headerEnd = tableStart + 40ull * (index + 1);
        if (headerEnd > peHave) {
            break;   // this header and all after it did not arrive
        }
        const uint8_t* header = pe + tableStart + 40 * index;
        const uint32_t virtualAddress = Le(header + 12, 4);
        const uint32_t rawSize = Le(header + 16, 4);
        if (virtualAddress <= entryPoint && entryPoint <= virtualAddress + rawSize) {
            entryOffset = entryPoint - virtualAddress + Le(header + 20, 4);
            break;
        }
    }
    if (entryOffset > fileSize - 4) {
        return kScanSkipped;
    }
    // Read 3: the window.
    const uint64_t windowHave = Min(fileSize, 65536);
    for (uint32_t index = 0; index < count; ++index) {
        const uint64_t end = static_cast<uint64_t>(entries[index].offset) + entries[index].length;
        if (end > windowHave) {
            return kScanNotFound;
        }
        if (std::memcmp(file + entries[index].offset, entries[index].pattern, entries[index].length) != 0) {
            return kScanNotFound;
        }
    }
    return kScanFound;
}
