#include "detect/rva_to_file_offset.h"

#include "detect/byte_reader.h"

namespace {

constexpr uint32_t kVirtualAddressField = 12;
constexpr uint32_t kSizeOfRawDataField = 16;
constexpr uint32_t kPointerToRawDataField = 20;

}  // namespace

uint32_t RvaToFileOffset(uint32_t rva, uint16_t sectionCount, const uint8_t* firstSectionHeader)
{
    if (firstSectionHeader == nullptr) {
        return 0;
    }
    for (uint32_t index = 0; index < sectionCount; ++index) {
        const uint8_t* header = firstSectionHeader + index * kSectionHeaderSize;
        uint32_t virtualAddress = 0;
        uint32_t sizeOfRawData = 0;
        uint32_t pointerToRawData = 0;
        ReadU32(header, kSectionHeaderSize, kVirtualAddressField, &virtualAddress);
        ReadU32(header, kSectionHeaderSize, kSizeOfRawDataField, &sizeOfRawData);
        ReadU32(header, kSectionHeaderSize, kPointerToRawDataField, &pointerToRawData);
        if (virtualAddress > rva) {
            continue;
        }
        if (rva <= virtualAddress + sizeOfRawData) {
            return rva - virtualAddress + pointerToRawData;
        }
    }
    return 0;
}
