#include "detect/rva_to_file_offset.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Header {
    uint32_t virtualAddress;
    uint32_t sizeOfRawData;
    uint32_t pointerToRawData;
};

void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        (*bytes)[at++] = static_cast<uint8_t>(value >> shift);
    }
}

// A section table of the given headers, every other field filled with 0xBD.
std::vector<uint8_t> Table(const std::vector<Header>& headers)
{
    std::vector<uint8_t> bytes(headers.size() * kSectionHeaderSize + 1, 0xBD);
    for (size_t index = 0; index < headers.size(); ++index) {
        size_t at = index * kSectionHeaderSize;
        Put32(&bytes, at + 12, headers[index].virtualAddress);
        Put32(&bytes, at + 16, headers[index].sizeOfRawData);
        Put32(&bytes, at + 20, headers[index].pointerToRawData);
    }
    return bytes;
}

TEST(RvaToFileOffsetTest, MapsByTheFirstHeaderThatHoldsTheAddress)
{
    struct Case {
        const char* name;
        std::vector<Header> headers;
        uint32_t rva;
        uint16_t count;
        uint32_t expected;
    };
    const std::vector<Header> text = {{0x1000, 0x200, 0x400}};
    const std::vector<Header> two = {{0x1000, 0x200, 0x400}, {0x2000, 0x800, 0x600}};
    const Case cases[] = {
        {"start of the section", text, 0x1000, 1, 0x400},
        {"inside", text, 0x1010, 1, 0x410},
        {"VirtualAddress + SizeOfRawData is inclusive", text, 0x1200, 1, 0x600},
        {"one past the raw size", text, 0x1201, 1, 0},
        {"below every section", text, 0xFFF, 1, 0},
        {"address 0 in no section", text, 0, 1, 0},
        {"count 0", text, 0x1000, 0, 0},
        {"second section", two, 0x2010, 2, 0x610},
        {"second section not walked with count 1", two, 0x2010, 1, 0},
        {"between the sections", two, 0x1800, 2, 0},
        {"first match wins over a later one",
         {{0x1000, 0x1000, 0x400}, {0x1000, 0x1000, 0x9000}}, 0x1100, 2, 0x500},
        {"a later header may hold a lower address",
         {{0x3000, 0x100, 0x800}, {0x1000, 0x100, 0x400}}, 0x1004, 2, 0x404},
        {"raw size, not virtual size: empty raw data holds only its start",
         {{0x1000, 0, 0x400}}, 0x1000, 1, 0x400},
        {"32-bit sum wraps: VirtualAddress + SizeOfRawData overflows",
         {{0xFFFFF000, 0x2000, 0x400}}, 0xFFFFF800, 1, 0},
        {"32-bit result wraps", {{0x1000, 0x100, 0xFFFFFFF0}}, 0x1020, 1, 0x10},
        {"pointer 0 maps to 0", {{0x1000, 0x100, 0}}, 0x1000, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> table = Table(c.headers);
        EXPECT_EQ(c.expected, RvaToFileOffset(c.rva, c.count, table.data()));
    }
}

TEST(RvaToFileOffsetTest, NoTableIsNoSection)
{
    EXPECT_EQ(0u, RvaToFileOffset(0x1000, 0, nullptr));
    EXPECT_EQ(0u, RvaToFileOffset(0x1000, 3, nullptr));
}

}  // namespace
