#include "detect/header_checks.h"

#include "detect/byte_reader.h"
#include "detect/rva_to_file_offset.h"

#include <cstring>

namespace {

constexpr uint32_t kRelocationTableField = 24;   // DOS header: e_lfarlc
constexpr uint32_t kPeOffsetField = 60;          // DOS header: e_lfanew
constexpr uint16_t kMinRelocationTableOffset = 0x40;
constexpr uint32_t kNumberOfSectionsField = 6;   // PE header
constexpr uint32_t kSizeOfOptionalHeaderField = 20;
constexpr uint32_t kAddressOfEntryPointField = 40;
constexpr uint32_t kSectionTableBase = 24;       // PE signature + file header
constexpr uint32_t kEntryPointSlack = 4;
constexpr uint8_t kPeSignature[4] = {'P', 'E', 0, 0};

}  // namespace

ScanResult ParseDosHeader(const uint8_t* header, uint32_t have, uint32_t* peOffset)
{
    uint16_t relocationTable = 0;
    if (have < 2 || header[0] != 'M' || header[1] != 'Z' ||
        !ReadU16(header, have, kRelocationTableField, &relocationTable) ||
        relocationTable < kMinRelocationTableOffset) {
        return kScanNotPe;
    }
    uint32_t offset = 0;
    if (!ReadU32(header, have, kPeOffsetField, &offset) || offset >= 0x80000000u) {
        return kScanShortRead;
    }
    *peOffset = offset;
    return kScanHeadersPassed;
}

ScanResult ParsePeHeader(const uint8_t* header, uint32_t have, uint32_t fileSize)
{
    if (have < sizeof(kPeSignature) || std::memcmp(header, kPeSignature, sizeof(kPeSignature)) != 0) {
        return kScanNotPe;
    }
    uint16_t numberOfSections = 0;
    uint16_t sizeOfOptionalHeader = 0;
    uint32_t entryPoint = 0;
    if (!ReadU16(header, have, kNumberOfSectionsField, &numberOfSections) ||
        !ReadU16(header, have, kSizeOfOptionalHeaderField, &sizeOfOptionalHeader) ||
        !ReadU32(header, have, kAddressOfEntryPointField, &entryPoint)) {
        return kScanShortRead;
    }
    uint32_t tableOffset = kSectionTableBase + sizeOfOptionalHeader;
    uint16_t sectionsPresent = 0;
    const uint8_t* table = header;
    if (tableOffset <= have) {
        uint32_t fit = (have - tableOffset) / kSectionHeaderSize;
        sectionsPresent = static_cast<uint16_t>(fit < numberOfSections ? fit : numberOfSections);
        table = header + tableOffset;
    }
    uint32_t entryOffset = RvaToFileOffset(entryPoint, sectionsPresent, table);
    if (entryOffset > fileSize - kEntryPointSlack) {
        return kScanSkipped;
    }
    return kScanHeadersPassed;
}

uint32_t PeHeaderExtent(const uint8_t* fields)
{
    if (std::memcmp(fields, kPeSignature, sizeof(kPeSignature)) != 0) {
        return sizeof(kPeSignature);
    }
    uint16_t numberOfSections = 0;
    uint16_t sizeOfOptionalHeader = 0;
    ReadU16(fields, kPeHeaderFieldsSize, kNumberOfSectionsField, &numberOfSections);
    ReadU16(fields, kPeHeaderFieldsSize, kSizeOfOptionalHeaderField, &sizeOfOptionalHeader);
    // At most 24 + 65,535 + 65,535 * 40: no overflow in 32 bits.
    uint32_t tableEnd = kSectionTableBase + sizeOfOptionalHeader +
                        static_cast<uint32_t>(numberOfSections) * kSectionHeaderSize;
    return tableEnd > kPeHeaderFieldsSize ? tableEnd : kPeHeaderFieldsSize;
}
