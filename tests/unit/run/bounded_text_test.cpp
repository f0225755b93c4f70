#include "run/run.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

TEST(BoundedText, ComposeCutsAtTheBufferAndNeverWritesPastIt)
{
    struct Case {
        const char* name;
        size_t size;
        const char* head;
        const char* argument;
        const char* tail;
        const char* expected;
        bool whole;
    };
    const Case cases[] = {
        {"fits", 16, "ab", "cd", "ef", "abcdef", true},
        {"exactly fills", 7, "ab", "cd", "ef", "abcdef", true},
        {"tail cut", 6, "ab", "cd", "ef", "abcde", false},
        {"argument cut", 4, "ab", "cd", "ef", "abc", false},
        {"null argument", 8, "ab", nullptr, "ef", "abef", true},
        {"one byte", 1, "ab", "cd", "ef", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[32];
        memset(buffer, 0xBD, sizeof(buffer));
        EXPECT_EQ(c.whole, ComposeText(buffer, c.size, c.head, c.argument, c.tail));
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ(static_cast<char>(0xBD), buffer[c.size]) << "byte past the buffer written";
    }
}

TEST(BoundedText, AppendToAnUnterminatedBufferEndsItInside)
{
    char buffer[5];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_FALSE(AppendText(buffer, 4, "y"));
    EXPECT_STREQ("xxx", buffer);
    EXPECT_EQ('x', buffer[4]);
}

TEST(BoundedText, NumbersAreWrittenAsTheFormatsWouldWriteThem)
{
    struct Case {
        const char* name;
        int32_t value;
        uint32_t minDigits;
        size_t size;
        const char* expected;
        bool whole;
    };
    const Case cases[] = {
        {"%i of -6", -6, 1, 16, "-6", true},
        {"%i of 0", 0, 1, 16, "0", true},
        {"%02i of 9", 9, 2, 16, "09", true},
        {"%02i of 59", 59, 2, 16, "59", true},
        {"%i of 2002", 2002, 1, 16, "2002", true},
        {"%i of INT32_MIN", INT32_MIN, 1, 16, "-2147483648", true},
        {"%i of INT32_MAX", INT32_MAX, 1, 16, "2147483647", true},
        {"cut at the buffer", 123456, 1, 4, "123", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[32];
        memset(buffer, 0xBD, sizeof(buffer));
        buffer[0] = '\0';
        EXPECT_EQ(c.whole, AppendDecimal(buffer, c.size, c.value, c.minDigits));
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ(static_cast<char>(0xBD), buffer[c.size]) << "byte past the buffer written";
    }
    char version[8] = {};
    EXPECT_TRUE(AppendVersion(version, sizeof(version)));
    EXPECT_STREQ("2.00", version);
}

}  // namespace
