#include "pe_image.h"

#include <cstdio>

namespace pe_image {

namespace {

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kLargeAddressAware = 0x0020;
constexpr uint16_t kMachine32Bit = 0x0100;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint16_t kPe32PlusMagic = 0x020B;
constexpr uint32_t kCodeSection = 0x60000020;   // code, execute, read

// Writes the bytes that fit into the file; the rest is cut off.
// Offsets are 64-bit so that fields of a header placed near 4 GiB never wrap to the front.
void Put(Bytes* image, uint64_t offset, const uint8_t* bytes, size_t size)
{
    for (size_t index = 0; index < size; ++index) {
        uint64_t at = offset + index;
        if (at < image->size()) {
            (*image)[static_cast<size_t>(at)] = bytes[index];
        }
    }
}

void Put16(Bytes* image, uint64_t offset, uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    Put(image, offset, bytes, sizeof(bytes));
}

void Put32(Bytes* image, uint64_t offset, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Put(image, offset, bytes, sizeof(bytes));
}

void Put64(Bytes* image, uint64_t offset, uint64_t value)
{
    Put32(image, offset, static_cast<uint32_t>(value));
    Put32(image, offset + 4, static_cast<uint32_t>(value >> 32));
}

uint16_t OptionalHeaderSize(const ImageLayout& layout)
{
    if (layout.sizeOfOptionalHeader >= 0) {
        return static_cast<uint16_t>(layout.sizeOfOptionalHeader);
    }
    return static_cast<uint16_t>(layout.pe32Plus ? kPe32PlusOptionalHeaderSize
                                               : kPe32OptionalHeaderSize);
}

// The optional header's standard and Windows fields, enough for a well-formed image.
void PutOptionalHeader(Bytes* image, const ImageLayout& layout, uint64_t at)
{
    Put16(image, at, layout.pe32Plus ? kPe32PlusMagic : kPe32Magic);
    Put32(image, at + 16, layout.entryPoint);
    Put32(image, at + 20, 0x1000);                       // BaseOfCode
    if (layout.pe32Plus) {
        Put64(image, at + 24, 0x140000000ull);           // ImageBase
    } else {
        Put32(image, at + 28, 0x00400000);               // ImageBase
    }
    Put32(image, at + 32, 0x1000);                       // SectionAlignment
    Put32(image, at + 36, 0x200);                        // FileAlignment
    Put16(image, at + 40, 4);                            // MajorOperatingSystemVersion
    Put16(image, at + 48, 4);                            // MajorSubsystemVersion
    Put32(image, at + 56, 0x10000);                      // SizeOfImage
    Put32(image, at + 60, 0x400);                        // SizeOfHeaders
    Put16(image, at + 68, 3);                            // Subsystem: console
    Put32(image, at + (layout.pe32Plus ? 108 : 92), 16);   // NumberOfRvaAndSizes
}

}  // namespace

Bytes BuildImage(const ImageLayout& layout)
{
    Bytes image(layout.fileSize, 0);
    const uint8_t mz[2] = {'M', 'Z'};
    const uint8_t zm[2] = {'Z', 'M'};
    Put(&image, 0, layout.mz ? mz : zm, 2);
    Put16(&image, 2, 0x90);                              // bytes on the last page
    Put16(&image, 4, 3);                                 // pages
    Put16(&image, 8, 4);                                 // header paragraphs
    Put16(&image, 24, layout.relocationTableOffset);
    Put32(&image, 60, layout.peOffset);

    const uint8_t pe[4] = {'P', 'E', 0, 0};
    const uint8_t notPe[4] = {'P', 'E', 0, 1};
    uint64_t at = layout.peOffset;
    Put(&image, at, layout.peSignature ? pe : notPe, 4);
    uint16_t sectionCount = static_cast<uint16_t>(
        layout.numberOfSections >= 0 ? layout.numberOfSections : static_cast<int32_t>(layout.sections.size()));
    Put16(&image, at + 4, layout.pe32Plus ? kMachineAmd64 : kMachineI386);
    Put16(&image, at + 6, sectionCount);
    Put16(&image, at + 20, OptionalHeaderSize(layout));
    Put16(&image, at + 22,
          static_cast<uint16_t>(kExecutableImage | (layout.pe32Plus ? kLargeAddressAware : kMachine32Bit)));
    PutOptionalHeader(&image, layout, at + 24);

    uint64_t table = static_cast<uint64_t>(layout.peOffset) + 4 + kFileHeaderSize + OptionalHeaderSize(layout);
    for (size_t index = 0; index < layout.sections.size(); ++index) {
        const Section& section = layout.sections[index];
        uint64_t header = table + index * 40;
        const uint8_t name[8] = {'.', 't', 'e', 'x', 't', 0, 0, 0};
        Put(&image, header, name, sizeof(name));
        Put32(&image, header + 8, section.sizeOfRawData);   // VirtualSize
        Put32(&image, header + 12, section.virtualAddress);
        Put32(&image, header + 16, section.sizeOfRawData);
        Put32(&image, header + 20, section.pointerToRawData);
        Put32(&image, header + 36, kCodeSection);
    }
    for (const Placed& run : layout.placed) {
        Put(&image, run.offset, run.bytes.data(), run.bytes.size());
    }
    return image;
}

std::vector<Placed> PlacedPatterns(const SignatureSet& set)
{
    std::vector<Placed> runs;
    for (uint32_t index = 0; index < set.count && index < kMaxSignatureEntries; ++index) {
        const SignatureEntry& entry = set.entries[index];
        runs.push_back({entry.offset, Bytes(entry.pattern, entry.pattern + entry.length)});
    }
    return runs;
}

uint32_t EndOfSet(const SignatureSet& set)
{
    uint32_t end = 0;
    for (uint32_t index = 0; index < set.count && index < kMaxSignatureEntries; ++index) {
        uint32_t entryEnd = set.entries[index].offset + set.entries[index].length;
        end = entryEnd > end ? entryEnd : end;
    }
    return end;
}

SignatureSet MakeSet(const std::vector<Placed>& entries)
{
    SignatureSet set = {};
    for (size_t index = 0; index < entries.size() && index < kMaxSignatureEntries; ++index) {
        SignatureEntry& entry = set.entries[index];
        const Bytes& bytes = entries[index].bytes;
        for (size_t at = 0; at < bytes.size() && at < kMaxPatternLength; ++at) {
            entry.pattern[at] = bytes[at];
        }
        entry.length = static_cast<uint32_t>(bytes.size());
        entry.offset = entries[index].offset;
        ++set.count;
    }
    return set;
}

ImageLayout ImageCarrying(const SignatureSet& set, bool pe32Plus, uint32_t fileSize)
{
    ImageLayout layout;
    layout.pe32Plus = pe32Plus;
    layout.fileSize = fileSize;
    layout.placed = PlacedPatterns(set);
    return layout;
}

bool WriteBytes(const std::string& path, const Bytes& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace pe_image
