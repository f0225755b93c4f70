#include "registry/registry_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

TEST(RegistryText, LengthStopsAtTheFirstZeroAndNeverPassesTheBytesRead)
{
    BYTE buffer[16];
    memset(buffer, 'A', sizeof(buffer));
    buffer[10] = 0;
    struct Case {
        const char* name;
        size_t bufferSize;
        DWORD bytesRead;
        size_t expected;
    };
    const Case cases[] = {
        {"zero within the bytes read", 16, 16, 10},
        {"bytes read end before the zero", 16, 6, 6},
        {"nothing read", 16, 0, 0},
        {"read size beyond the buffer is capped", 8, 5000, 8},
        {"zero exactly at the last byte read", 16, 11, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, RegistryTextLength(buffer, c.bufferSize, c.bytesRead));
    }
    EXPECT_EQ(0u, RegistryTextLength(nullptr, 16, 16));
}

TEST(RegistryText, CopyEndsTheTextAndRefusesWhatDoesNotFit)
{
    BYTE full[8];
    memset(full, 'Z', sizeof(full));   // no terminator anywhere
    char out[10];
    memset(out, 0xBD, sizeof(out));
    ASSERT_TRUE(CopyRegistryText(out, 9, full, sizeof(full), sizeof(full)));
    EXPECT_STREQ("ZZZZZZZZ", out);
    EXPECT_EQ(static_cast<char>(0xBD), out[9]) << "written past the buffer";

    memset(out, 0xBD, sizeof(out));
    EXPECT_FALSE(CopyRegistryText(out, 8, full, sizeof(full), sizeof(full)));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ(static_cast<char>(0xBD), out[1]);

    EXPECT_FALSE(CopyRegistryText(nullptr, 8, full, sizeof(full), 3));
    EXPECT_FALSE(CopyRegistryText(out, 0, full, sizeof(full), 3));
}

TEST(RegistryText, OnlyTheAsciiLettersAreComparedWithoutCase)
{
    struct Case {
        const char* name;
        std::string text;
        const char* expected;
        bool equal;
    };
    const Case cases[] = {
        {"same", "C:\\Krn132.exe", "C:\\Krn132.exe", true},
        {"letters in other case", "c:\\kRN132.EXE", "C:\\Krn132.exe", true},
        {"shorter", "C:\\Krn132.ex", "C:\\Krn132.exe", false},
        {"longer", "C:\\Krn132.exe ", "C:\\Krn132.exe", false},
        {"both empty", "", "", true},
        {"empty text", "", "x", false},
        {"@ is not the upper case of `", "@", "`", false},
        {"[ is not the upper case of {", "[", "{", false},
        {"accented letters are not folded", "\xE9", "\xC9", false},
        {"accented letters compare exactly", "\xE9", "\xE9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.text.data(), c.text.size(), c.expected));
    }
    // Only `length` bytes of the text are looked at.
    EXPECT_TRUE(EqualsIgnoringAsciiCase("abcdef", 3, "ABC"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(nullptr, 0, ""));
}

}  // namespace
