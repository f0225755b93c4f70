// The file offset of a relative virtual address, by the section table.
#pragma once

#include <cstdint>

constexpr uint32_t kSectionHeaderSize = 40;

// Walks `sectionCount` section headers of 40 bytes each, in table order, beginning at
// `firstSectionHeader`; the caller guarantees that they all lie in its buffer. The first
// header with VirtualAddress <= rva <= VirtualAddress + SizeOfRawData (both bounds
// inclusive, 32-bit sum) maps the address.
// RETURNS: rva - VirtualAddress + PointerToRawData (32-bit arithmetic) for that header;
//   0 when no header holds the address or the count is 0.
uint32_t RvaToFileOffset(uint32_t rva, uint16_t sectionCount, const uint8_t* firstSectionHeader);
