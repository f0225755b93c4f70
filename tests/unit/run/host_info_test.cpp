#include "run/run.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

OSVERSIONINFOA g_fakeVersion;
BOOL g_fakeResult;
DWORD g_seenSize;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    g_seenSize = info->dwOSVersionInfoSize;
    if (g_fakeResult) {
        *info = g_fakeVersion;
        info->dwOSVersionInfoSize = g_seenSize;
    }
    return g_fakeResult;
}

TEST(HostInfo, EveryPlatformOfTheTableAndTheOnesAround)
{
    struct Case {
        const char* name;
        DWORD platform, major, minor, build;
        uint32_t code;
        const char* display;
    };
    const Case cases[] = {
        {"NT 3.51", 2, 3, 51, 1057, 0x10451, "Windows NT 3.51"},
        {"NT 4.0", 2, 4, 0, 1381, 0x10400, "Windows NT 4.0"},
        {"2000", 2, 5, 0, 2195, 0x10500, "Windows 2000"},
        {"XP", 2, 5, 1, 2600, 0x10501, "Windows XP"},
        {"95", 1, 4, 0, 950, 0x100400, "Windows 95"},
        {"98", 1, 4, 10, 1998, 0x100410, "Windows 98"},
        {"98 SE build", 1, 4, 10, 2222, 0x100410, "Windows 98"},
        {"ME", 1, 4, 90, 3000, 0x100490, "Windows ME"},
        {"NT 3.5", 2, 3, 50, 807, 0, "UNKNOWN OS"},
        {"NT 3.1", 2, 3, 10, 528, 0, "UNKNOWN OS"},
        {"5.2", 2, 5, 2, 3790, 0, "UNKNOWN OS"},
        {"6.0", 2, 6, 0, 6000, 0, "UNKNOWN OS"},
        {"95 family major 5", 1, 5, 0, 0, 0, "UNKNOWN OS"},
        {"95 family minor 1", 1, 4, 1, 0, 0, "UNKNOWN OS"},
        {"Win32s", 0, 3, 10, 0, 0, "UNKNOWN OS"},
        {"NT 3.51 with the 95 family id", 1, 3, 51, 0, 0, "UNKNOWN OS"},
    };
    ScopedImportPatch patch("kernel32.dll", "GetVersionExA",
                            reinterpret_cast<void*>(&FakeGetVersionExA));
    ASSERT_TRUE(patch.applied());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fakeVersion = {};
        g_fakeVersion.dwPlatformId = c.platform;
        g_fakeVersion.dwMajorVersion = c.major;
        g_fakeVersion.dwMinorVersion = c.minor;
        g_fakeVersion.dwBuildNumber = c.build;
        g_fakeResult = TRUE;
        HostInfo info = {0xDEADBEEF};
        EXPECT_EQ(0, GetHostInfo(&info));
        EXPECT_EQ(148u, g_seenSize);
        EXPECT_EQ(c.code, info.platformCode);
        EXPECT_STREQ(c.display, PlatformName(info.platformCode));
    }
}

TEST(HostInfo, FailedVersionQueryGivesUnknown)
{
    ScopedImportPatch patch("kernel32.dll", "GetVersionExA",
                            reinterpret_cast<void*>(&FakeGetVersionExA));
    g_fakeResult = FALSE;
    HostInfo info = {0xDEADBEEF};
    EXPECT_EQ(-3, GetHostInfo(&info));
    EXPECT_EQ(0u, info.platformCode);
    EXPECT_STREQ("UNKNOWN OS", PlatformName(info.platformCode));
    EXPECT_EQ(-2, GetHostInfo(nullptr));
}

TEST(HostInfo, NamesOnlyTheSevenCodes)
{
    EXPECT_STREQ("UNKNOWN OS", PlatformName(0x10351));   // NT 3.51 by the general rule
    EXPECT_STREQ("UNKNOWN OS", PlatformName(0x100401));
    EXPECT_STREQ("UNKNOWN OS", PlatformName(0xFFFFFFFF));
}

}  // namespace
