#include "detect/read_file_at.h"
#include "scan_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using scan_test::RemoveScratch;
using scan_test::WriteScratch;

// A file of `size` bytes counting up from 1, so every byte tells where it came from.
std::string WriteCountingFile(const char* name, uint32_t size)
{
    pe_image::Bytes bytes(size);
    for (uint32_t index = 0; index < size; ++index) {
        bytes[index] = static_cast<uint8_t>(index + 1);
    }
    return WriteScratch(name, bytes);
}

TEST(ReadFileAtTest, SucceedsOnlyWhenMoreThan48BytesArrive)
{
    struct Case {
        const char* name;
        uint32_t fileSize;
        uint32_t count;
        int32_t offset;
        int32_t expected;
        uint32_t delivered;
    };
    const Case cases[] = {
        {"48 bytes arrive of 256", 48, 256, 0, kReadShort, 48},
        {"49 bytes arrive of 256", 49, 256, 0, kReadOk, 49},
        {"all 256 arrive", 1000, 256, 0, kReadOk, 256},
        {"asked for 48, all arrive, still too few", 1000, 48, 0, kReadShort, 48},
        {"asked for 49", 1000, 49, 0, kReadOk, 49},
        {"from an offset, 49 left", 1000, 4096, 951, kReadOk, 49},
        {"from an offset, 48 left", 1000, 4096, 952, kReadShort, 48},
        {"at the end", 1000, 4096, 1000, kReadShort, 0},
        {"beyond the end", 1000, 4096, 5000, kReadShort, 0},
        {"count 0", 1000, 0, 0, kReadShort, 0},
        {"the largest count", 70000, 65536, 0, kReadOk, 65536},
        {"negative offset: no read from where the file stood", 1000, 256, -1, kReadShort, 0},
        {"most negative offset", 1000, 256, INT32_MIN, kReadShort, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteCountingFile("read_at.bin", c.fileSize);
        FILE* file = fopen(path.c_str(), "rb");
        ASSERT_NE(nullptr, file);
        // Leave the position somewhere else first: a failed positioning must not read from it.
        ASSERT_EQ(0, fseek(file, 10, SEEK_SET));
        std::vector<uint8_t> buffer(c.count + 1, 0xBD);
        uint32_t delivered = 0xDEADBEEF;
        EXPECT_EQ(c.expected, ReadFileAt(file, c.count, c.offset, buffer.data(), &delivered));
        EXPECT_EQ(c.delivered, delivered);
        for (uint32_t index = 0; index < c.delivered; ++index) {
            ASSERT_EQ(static_cast<uint8_t>(c.offset + index + 1), buffer[index]) << "byte " << index;
        }
        for (uint32_t index = c.delivered; index <= c.count; ++index) {
            ASSERT_EQ(0xBD, buffer[index]) << "byte " << index << " was written";
        }
        fclose(file);
        RemoveScratch(path);
    }
}

TEST(ReadFileAtTest, InvalidArgumentsReadNothing)
{
    std::string path = WriteCountingFile("read_at_args.bin", 70000);
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    std::vector<uint8_t> buffer(65538, 0xBD);
    uint32_t delivered = 0xDEADBEEF;
    EXPECT_EQ(kReadInvalidArguments, ReadFileAt(nullptr, 256, 0, buffer.data(), &delivered));
    EXPECT_EQ(0u, delivered);
    delivered = 0xDEADBEEF;
    EXPECT_EQ(kReadInvalidArguments, ReadFileAt(file, 65537, 0, buffer.data(), &delivered));
    EXPECT_EQ(0u, delivered);
    EXPECT_EQ(kReadInvalidArguments, ReadFileAt(file, 0xFFFFFFFFu, 0, buffer.data()));
    EXPECT_EQ(kReadInvalidArguments, ReadFileAt(file, 256, 0, nullptr));
    for (size_t index = 0; index < buffer.size(); ++index) {
        ASSERT_EQ(0xBD, buffer[index]) << "byte " << index;
    }
    EXPECT_EQ(kReadOk, ReadFileAt(file, 256, 0, buffer.data())) << "the count out-parameter is optional";
    fclose(file);
    RemoveScratch(path);
}

}  // namespace
