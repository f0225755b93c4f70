#include "inoculate/inoculate.h"
#include "run/run_state.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The system folder is redirected to a scratch folder of the test's own prefix.
const char kScratchFolder[] = "C:\\unit\\inoculate-sys";
std::string g_systemDirectory;
OSVERSIONINFOA g_version;
BOOL g_versionResult;
std::vector<std::string> g_createdPaths;

UINT WINAPI FakeGetSystemDirectoryA(char* buffer, UINT size)
{
    if (g_systemDirectory.size() + 1 > size) {
        return static_cast<UINT>(g_systemDirectory.size() + 1);
    }
    memcpy(buffer, g_systemDirectory.c_str(), g_systemDirectory.size() + 1);
    return static_cast<UINT>(g_systemDirectory.size());
}

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    if (g_versionResult) {
        DWORD size = info->dwOSVersionInfoSize;
        *info = g_version;
        info->dwOSVersionInfoSize = size;
    }
    return g_versionResult;
}

decltype(&CreateDirectoryA) g_realCreateDirectoryA;
BOOL WINAPI RecordingCreateDirectoryA(const char* path, SECURITY_ATTRIBUTES* security)
{
    g_createdPaths.push_back(path);
    return g_realCreateDirectoryA(path, security);
}

void RemoveScratch()
{
    for (const char* name : {"Krn132.exe", "Wqk.exe", "Wqk.dll", "WinSvc.exe"}) {
        std::string path = std::string(kScratchFolder) + "\\" + name;
        RemoveDirectoryA(path.c_str());
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(kScratchFolder);
}

bool IsFolder(const char* name)
{
    std::string path = std::string(kScratchFolder) + "\\" + name;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class InoculateTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(directory_.applied());
        ASSERT_TRUE(version_.applied());
        ASSERT_TRUE(create_.applied());
        g_realCreateDirectoryA = create_.original<decltype(&CreateDirectoryA)>();
        RemoveScratch();
        CreateDirectoryA("C:\\unit", nullptr);
        ASSERT_TRUE(CreateDirectoryA(kScratchFolder, nullptr));
        g_systemDirectory = kScratchFolder;
        SetVersion(VER_PLATFORM_WIN32_NT, 5, 1);
        g_createdPaths.clear();
    }
    void TearDown() override
    {
        RemoveScratch();
        DeleteFileA("PURGEKIT.LOG");
    }
    static void SetVersion(DWORD platform, DWORD major, DWORD minor)
    {
        g_version = {};
        g_version.dwPlatformId = platform;
        g_version.dwMajorVersion = major;
        g_version.dwMinorVersion = minor;
        g_versionResult = TRUE;
    }
    // Runs the inoculation and returns its result; the console text goes to `console`.
    int32_t Inoculate(std::string* console)
    {
        testing::internal::CaptureStdout();
        int32_t result = InoculateSystem();
        *console = testing::internal::GetCapturedStdout();
        return result;
    }

    ScopedImportPatch directory_{"kernel32.dll", "GetSystemDirectoryA",
                                 reinterpret_cast<void*>(&FakeGetSystemDirectoryA)};
    ScopedImportPatch version_{"kernel32.dll", "GetVersionExA",
                               reinterpret_cast<void*>(&FakeGetVersionExA)};
    ScopedImportPatch create_{"kernel32.dll", "CreateDirectoryA",
                              reinterpret_cast<void*>(&RecordingCreateDirectoryA)};
};

const char kAllCreated[] =
    "\n\t Folder \"Krn132.exe\" created.\n\t Folder \"Wqk.exe\" created."
    "\n\t Folder \"Wqk.dll\" created.\n\t Folder \"WinSvc.exe\" created.";
const char kAllExisting[] =
    "\n\t Folder \"Krn132.exe\" already exists.\n\t Folder \"Wqk.exe\" already exists"
    "\n\t Folder \"Wqk.dll\" already exists.\n\t Folder \"WinSvc.exe\" already exists.";

TEST_F(InoculateTest, FourFoldersOnXpAndNoneNewTheSecondTime)
{
    std::string console;
    EXPECT_EQ(0, Inoculate(&console));
    EXPECT_EQ(kAllCreated, console);
    for (const char* name : {"Krn132.exe", "Wqk.exe", "Wqk.dll", "WinSvc.exe"}) {
        EXPECT_TRUE(IsFolder(name)) << name;
    }
    EXPECT_EQ(-1, Inoculate(&console));
    EXPECT_EQ(kAllExisting, console);
}

TEST_F(InoculateTest, LibraryFolderOnlyOnTheNtFamilyFromVersionFive)
{
    struct Case {
        const char* name;
        DWORD platform, major, minor;
        bool library;
    };
    const Case cases[] = {
        {"95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, false},
        {"98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, false},
        {"ME", VER_PLATFORM_WIN32_WINDOWS, 4, 90, false},
        {"NT 3.51", VER_PLATFORM_WIN32_NT, 3, 51, false},
        {"NT 4.0", VER_PLATFORM_WIN32_NT, 4, 0, false},
        {"2000", VER_PLATFORM_WIN32_NT, 5, 0, true},
        {"newer NT", VER_PLATFORM_WIN32_NT, 6, 2, true},
        {"95 family with major 5", VER_PLATFORM_WIN32_WINDOWS, 5, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveScratch();
        ASSERT_TRUE(CreateDirectoryA(kScratchFolder, nullptr));
        SetVersion(c.platform, c.major, c.minor);
        g_createdPaths.clear();
        std::string console;
        EXPECT_EQ(0, Inoculate(&console));
        EXPECT_EQ(c.library, IsFolder("Wqk.dll"));
        EXPECT_EQ(c.library ? 4u : 3u, g_createdPaths.size());
        EXPECT_EQ(c.library, console.find("Wqk.dll") != std::string::npos) << console;
    }
}

TEST_F(InoculateTest, FailedVersionQueryStopsAfterTheFirstTwoFolders)
{
    g_versionResult = FALSE;
    std::string console;
    EXPECT_EQ(-3, Inoculate(&console));
    EXPECT_EQ("\n\t Folder \"Krn132.exe\" created.\n\t Folder \"Wqk.exe\" created.", console);
    EXPECT_FALSE(IsFolder("WinSvc.exe"));
    EXPECT_EQ(2u, g_createdPaths.size());
}

TEST_F(InoculateTest, PlainFileOfAFolderNameStaysAndAnotherFolderStillCounts)
{
    std::string file = std::string(kScratchFolder) + "\\Wqk.exe";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    DWORD written = 0;
    WriteFile(handle, "MZ", 2, &written, nullptr);
    CloseHandle(handle);

    std::string console;
    EXPECT_EQ(0, Inoculate(&console));
    EXPECT_NE(std::string::npos, console.find("\n\t Folder \"Wqk.exe\" already exists\n"))
        << console;
    EXPECT_FALSE(IsFolder("Wqk.exe"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str())) << "the file was removed";
}

TEST_F(InoculateTest, SystemFolderEndingInABackslashGetsNoSecondOne)
{
    g_systemDirectory = std::string(kScratchFolder) + "\\";
    std::string console;
    EXPECT_EQ(0, Inoculate(&console));
    ASSERT_FALSE(g_createdPaths.empty());
    EXPECT_EQ(std::string(kScratchFolder) + "\\Krn132.exe", g_createdPaths[0]);
}

TEST_F(InoculateTest, OverlongSystemFolderCreatesNothingAndReportsEveryFolder)
{
    // 252 characters: the folder and its backslash fit, no folder name does.
    g_systemDirectory = "C:\\" + std::string(249, 'x');
    std::string console;
    EXPECT_EQ(-1, Inoculate(&console));
    EXPECT_EQ(kAllExisting, console);
    EXPECT_TRUE(g_createdPaths.empty());
}

TEST_F(InoculateTest, RunReportsAlreadyInoculatedWhenTheVersionQueryFailsInside)
{
    g_versionResult = FALSE;
    RunState state = {};
    state.found = true;
    testing::internal::CaptureStdout();
    RunInoculationStage(state);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        "\n\nInoculating the system!\n\t Folder \"Krn132.exe\" created."
        "\n\t Folder \"Wqk.exe\" created.\n System already inoculated!"
        "\n\n Please reboot your system and run the tool again. Using the latest pattern, scan "
        "your computer and clean all files detected as PE_QUILMO.A",
        console);
}

TEST_F(InoculateTest, RunWithoutAFindingDoesNotInoculate)
{
    RunState state = {};
    state.found = false;
    testing::internal::CaptureStdout();
    RunInoculationStage(state);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(g_createdPaths.empty());
}

}  // namespace
