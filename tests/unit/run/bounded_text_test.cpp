#include "run/run.h"

#include <gtest/gtest.h>

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

}  // namespace
