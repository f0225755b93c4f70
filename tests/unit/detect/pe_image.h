// Test files for the signature scan, described by code: PE32 and PE32+ images laid out
// field by field, with byte runs placed at chosen absolute offsets, and near misses of every
// kind made by changing one field. Portable C++: the Windows tests and the native fuzz seeds
// use the same images.
#pragma once

#include "detect/detect.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pe_image {

using Bytes = std::vector<uint8_t>;

struct Section {
    uint32_t virtualAddress;
    uint32_t sizeOfRawData;
    uint32_t pointerToRawData;
};

// A run of bytes written at an absolute file offset, after every header field.
struct Placed {
    uint32_t offset;
    Bytes bytes;
};

constexpr uint32_t kPe32OptionalHeaderSize = 0xE0;
constexpr uint32_t kPe32PlusOptionalHeaderSize = 0xF0;

// Everything the scan looks at, and a little more so the image reads like a real one.
// Fields that would lie past `fileSize` are cut off, as in a truncated file.
struct ImageLayout {
    bool pe32Plus = false;
    uint32_t fileSize = 0x8000;
    bool mz = true;                          // "MZ" at 0, else "ZM"
    uint16_t relocationTableOffset = 0x40;   // DOS header +24
    uint32_t peOffset = 0x80;                // DOS header +60, e_lfanew
    bool peSignature = true;                 // "PE\0\0", else "PE\0\1"
    uint32_t entryPoint = 0x1000;            // AddressOfEntryPoint
    std::vector<Section> sections = {{0x1000, 0x200, 0x400}};
    int32_t numberOfSections = -1;           // -1: the number of `sections`
    int32_t sizeOfOptionalHeader = -1;       // -1: 0xE0 (PE32) or 0xF0 (PE32+)
    std::vector<Placed> placed;              // written last, over anything, cut at the end
};

// The image's bytes.
Bytes BuildImage(const ImageLayout& layout);

// The first `set.count` entries' patterns at their offsets (only `length` bytes each).
std::vector<Placed> PlacedPatterns(const SignatureSet& set);

// The end of the furthest pattern of a set: the smallest file that can carry it.
uint32_t EndOfSet(const SignatureSet& set);

// A set of the given entries (offset, bytes), count = number of entries given (at most 3).
SignatureSet MakeSet(const std::vector<Placed>& entries);

// A plain image of `fileSize` bytes that carries `set`'s patterns.
ImageLayout ImageCarrying(const SignatureSet& set, bool pe32Plus, uint32_t fileSize);

// Writes the bytes to `path`, replacing the file. RETURNS false when that failed.
bool WriteBytes(const std::string& path, const Bytes& bytes);

}  // namespace pe_image
