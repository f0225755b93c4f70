// FileBaseName and the file infector's name rule.
#include "memory/memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FileBaseName, PointsIntoThePathAfterItsLastBackslash)
{
    struct Case {
        const char* name;
        const char* path;
        long offset;   // -1: null
    };
    const Case cases[] = {
        {"full path", "C:\\WINDOWS\\SYSTEM\\wqk.exe", 18},
        {"bare name", "wqk.exe", -1},
        {"trailing backslash gives an empty name", "C:\\WINDOWS\\", 11},
        {"root file", "\\wqk.exe", 1},
        {"just a backslash", "\\", 1},
        {"empty path", "", -1},
        {"forward slashes do not count", "C:/WINDOWS/wqk.exe", -1},
        {"last of several", "a\\b\\\\c", 5},
        {"byte 0x5C inside a double-byte character counts", "C:\\\x83\x5C.exe", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* name = FileBaseName(c.path);
        if (c.offset < 0) {
            EXPECT_EQ(nullptr, name);
        } else {
            EXPECT_EQ(c.path + c.offset, name);
        }
    }
    EXPECT_EQ(nullptr, FileBaseName(nullptr));
    const char* path = "C:\\WINDOWS\\";
    ASSERT_NE(nullptr, FileBaseName(path));
    EXPECT_STREQ("", FileBaseName(path));
}

TEST(IsVirusFileName, AsciiLetterCaseIsIgnoredAndNothingElse)
{
    struct Case {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"wqk.exe", true},      {"WQK.EXE", true},     {"Wqk.exe", true},
        {"wQK.eXe", true},      {"wqk.exe ", false},   {" wqk.exe", false},
        {"wqk.ex", false},      {"wqk.exe.exe", false}, {"wqk", false},
        {"", false},            {"wqk_exe", false},    {"wqk.\xC5xe", false},
        {"wqk.exe\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, IsVirusFileName(c.name));
    }
    EXPECT_FALSE(IsVirusFileName(nullptr));
}

}  // namespace
