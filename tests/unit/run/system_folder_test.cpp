#include "run/run.h"
#include "run/run_state.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string g_fakeDirectory;
int g_deleteCalls;
int g_attributeCalls;

UINT WINAPI FakeGetSystemDirectoryA(char* buffer, UINT size)
{
    if (g_fakeDirectory.size() + 1 > size) {
        return static_cast<UINT>(g_fakeDirectory.size() + 1);   // what the platform does
    }
    memcpy(buffer, g_fakeDirectory.c_str(), g_fakeDirectory.size() + 1);
    return static_cast<UINT>(g_fakeDirectory.size());
}

BOOL WINAPI CountingDeleteFileA(const char*)
{
    ++g_deleteCalls;
    return FALSE;
}

BOOL WINAPI CountingSetFileAttributesA(const char*, DWORD)
{
    ++g_attributeCalls;
    return FALSE;
}

TEST(SystemFolder, BackslashAppendedOnlyWhenMissingAndOnlyWhenItFits)
{
    struct Case {
        const char* name;
        std::string directory;
        bool whole;
        std::string expected;
    };
    const std::string long258(258, 'd');
    const std::string long259(259, 'd');
    const Case cases[] = {
        {"plain", "C:\\WINDOWS\\SYSTEM", true, "C:\\WINDOWS\\SYSTEM\\"},
        {"already ends in a backslash", "C:\\", true, "C:\\"},
        {"258 characters: the backslash fills the buffer", long258, true, long258 + "\\"},
        {"259 characters: no room for the backslash", long259, false, long259},
        {"longer than the platform buffer", std::string(300, 'd'), false, ""},
        {"no system folder at all", "", false, ""},
    };
    ScopedImportPatch patch("kernel32.dll", "GetSystemDirectoryA",
                            reinterpret_cast<void*>(&FakeGetSystemDirectoryA));
    ASSERT_TRUE(patch.applied());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_fakeDirectory = c.directory;
        char out[kPathSize + 1];
        memset(out, 0xBD, sizeof(out));
        EXPECT_EQ(c.whole, GetSystemFolderPath(out, kPathSize));
        EXPECT_EQ(c.expected, std::string(out));
        EXPECT_EQ(static_cast<char>(0xBD), out[kPathSize]);
    }
}

TEST(SystemFolder, DroppedFilesOfAnOverlongFolderAreReportedCutAndNeverTouched)
{
    ScopedImportPatch directory("kernel32.dll", "GetSystemDirectoryA",
                                reinterpret_cast<void*>(&FakeGetSystemDirectoryA));
    ScopedImportPatch deleter("kernel32.dll", "DeleteFileA",
                              reinterpret_cast<void*>(&CountingDeleteFileA));
    ScopedImportPatch attributes("kernel32.dll", "SetFileAttributesA",
                                 reinterpret_cast<void*>(&CountingSetFileAttributesA));
    ASSERT_TRUE(deleter.applied());
    ASSERT_TRUE(attributes.applied());
    g_fakeDirectory = "C:\\" + std::string(250, 'x');   // 253 characters: no file name fits
    g_deleteCalls = 0;
    g_attributeCalls = 0;

    RunState state = {};
    state.systemFolderWhole = GetSystemFolderPath(state.systemFolder, sizeof(state.systemFolder));
    ASSERT_TRUE(state.systemFolderWhole);
    // The registry stage builds these three paths before the dropped-file stage runs.
    BuildSystemFilePath(state, "krn132.exe", &state.wormFile);
    BuildSystemFilePath(state, "wqk.exe", &state.dropperFile);
    BuildSystemFilePath(state, "WinSvc.exe", &state.variantCFile);
    testing::internal::CaptureStdout();
    RemoveDroppedFiles(&state);
    std::string console = testing::internal::GetCapturedStdout();

    EXPECT_EQ(0, g_deleteCalls);
    EXPECT_EQ(0, g_attributeCalls);
    EXPECT_FALSE(state.wormFile.whole);
    EXPECT_EQ(kPathSize - 1, strlen(state.wormFile.text));
    // Each of the four lines is the 259 characters that fit of its message.
    size_t lines = 0;
    size_t at = console.find("\n\t File \"");
    while (at != std::string::npos) {
        size_t next = console.find("\n\t File \"", at + 1);
        size_t length = (next == std::string::npos ? console.size() : next) - at;
        EXPECT_EQ(kPathSize - 1, length);
        ++lines;
        at = next;
    }
    EXPECT_EQ(4u, lines);
    DeleteFileA("PURGEKIT.LOG");
}

}  // namespace
