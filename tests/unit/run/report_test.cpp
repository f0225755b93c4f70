#include "run/run.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string ReadLogBytes()
{
    std::string bytes;
    FILE* file = fopen("PURGEKIT.LOG", "rb");
    if (file == nullptr) {
        return bytes;
    }
    char chunk[512];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.append(chunk, got);
    }
    fclose(file);
    return bytes;
}

class ReportTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA("PURGEKIT.LOG");
        RemoveDirectoryA("PURGEKIT.LOG");
    }
    void TearDown() override { SetUp(); }
};

SYSTEMTIME g_fakeTime;
void WINAPI FakeGetLocalTime(SYSTEMTIME* time) { *time = g_fakeTime; }

TEST_F(ReportTest, DateAndTimeLineIsFormattedFromTheLocalTime)
{
    struct Case {
        const char* name;
        SYSTEMTIME time;   // year, month, weekday, day, hour, minute, second, ms
        const char* expected;
    };
    const Case cases[] = {
        {"the documented example", {2002, 4, 3, 3, 9, 5, 3, 0},
         "\r\nDate and Time: Wed Apr 03 09:05:03 2002"},
        {"first of the month, leading zeros", {2003, 1, 0, 1, 0, 0, 0, 0},
         "\r\nDate and Time: Sun Jan 01 00:00:00 2003"},
        {"last day of the year", {1999, 12, 6, 31, 23, 59, 59, 999},
         "\r\nDate and Time: Sat Dec 31 23:59:59 1999"},
    };
    ScopedImportPatch patch("kernel32.dll", "GetLocalTime",
                            reinterpret_cast<void*>(&FakeGetLocalTime));
    ASSERT_TRUE(patch.applied());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA("PURGEKIT.LOG");
        g_fakeTime = c.time;
        testing::internal::CaptureStdout();
        LogDateTime();
        EXPECT_EQ("", testing::internal::GetCapturedStdout()) << "the date line is log only";
        EXPECT_EQ(c.expected, ReadLogBytes());
    }
}

TEST_F(ReportTest, MessagesAreDataAndLineBreaksAreStoredAsCrLf)
{
    testing::internal::CaptureStdout();
    Report("\n\t 100% %s %n done");
    LogWrite("\nlog only %d");
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ("\n\t 100% %s %n done", console);
    EXPECT_EQ("\r\n\t 100% %s %n done\r\nlog only %d", ReadLogBytes());
}

TEST_F(ReportTest, LogIsAppendedToAndNeverTruncated)
{
    LogWrite("first");
    LogWrite("\nsecond");
    testing::internal::CaptureStdout();
    LogCount(-6);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("-6 Files"));
    EXPECT_EQ("first\r\nsecond-6 Files", ReadLogBytes());
}

TEST_F(ReportTest, UnwritableLogSilencesLogCountButNotReport)
{
    ASSERT_TRUE(CreateDirectoryA("PURGEKIT.LOG", nullptr));
    testing::internal::CaptureStdout();
    LogCount(12);
    LogWrite("log only");
    Report("\nshown");
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string::npos, console.find("Files")) << console;
    EXPECT_EQ(std::string::npos, console.find("log only")) << console;
    EXPECT_NE(std::string::npos, console.find("shown")) << console;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("PURGEKIT.LOG"));
}

}  // namespace
