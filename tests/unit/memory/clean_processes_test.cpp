// CleanProcesses: the platform chooses the back-end, which is bound for one pass and released
// in every case; and the three variants' entries.
#include "fake_system.h"

#include "run/run.h"
#include "run/run_state.h"

#include <string>
#include <vector>

namespace {

class CleanProcessesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loader_.applied());
        g_processApi = {};
        DeleteFileA(kLogFileName);
    }
    void TearDown() override
    {
        g_processApi = {};
        DeleteFileA(kLogFileName);
    }
    int32_t Run(const SignatureEntry* set, uint32_t count, const VariantRow& row = kTestRow)
    {
        testing::internal::CaptureStdout();
        int32_t result = CleanProcesses(set, count, row);
        console_ = testing::internal::GetCapturedStdout();
        return result;
    }
    LoaderPatches loader_;
    std::string console_;
};

TEST_F(CleanProcessesTest, BadArgumentsLoadNothing)
{
    struct Case {
        const char* name;
        const SignatureEntry* set;
        uint32_t count;
    };
    const Case cases[] = {{"no set", nullptr, 1}, {"count 0", kTestSet, 0},
                          {"count 4", kTestSet, 4}, {"count 0xFFFFFFFF", kTestSet, 0xFFFFFFFF}};
    VersionPatch version(true, VER_PLATFORM_WIN32_NT, 5, 1);
    ASSERT_TRUE(version.applied());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kPassBadArguments, Run(c.set, c.count));
        EXPECT_EQ(0, g_versionCalls);
        EXPECT_TRUE(g_loader.loaded.empty());
        EXPECT_EQ("", console_);
    }
}

TEST_F(CleanProcessesTest, FailedVersionQueryGivesMinus3)
{
    VersionPatch version(false, 0, 0, 0);
    ASSERT_TRUE(version.applied());
    EXPECT_EQ(kPassNoVersion, Run(kTestSet, 1));
    EXPECT_EQ(148u, g_versionSizeSeen);
    EXPECT_TRUE(g_loader.loaded.empty());
    EXPECT_EQ("", console_);
}

TEST_F(CleanProcessesTest, PlatformChoosesTheBackEnd)
{
    struct Case {
        const char* name;
        DWORD platform, major, minor;
        std::string library;
        int32_t noLibrary;
    };
    const Case cases[] = {
        {"NT 3.51", 2, 3, 51, SystemPsapiPath(), kPassNoPsapi},
        {"NT 4.0", 2, 4, 0, SystemPsapiPath(), kPassNoPsapi},
        {"XP", 2, 5, 1, SystemPsapiPath(), kPassNoPsapi},
        {"any later NT", 2, 10, 0, SystemPsapiPath(), kPassNoPsapi},
        {"95", 1, 4, 0, "KERNEL32.DLL", kPassNoToolhelp},
        {"98", 1, 4, 10, "KERNEL32.DLL", kPassNoToolhelp},
        {"ME", 1, 4, 90, "KERNEL32.DLL", kPassNoToolhelp},
        {"Win32s", 0, 3, 10, "KERNEL32.DLL", kPassNoToolhelp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionPatch version(true, c.platform, c.major, c.minor);
        g_loader = LoaderRecord();
        g_loader.refuseLoad = true;
        EXPECT_EQ(c.noLibrary, Run(kTestSet, 1));
        EXPECT_EQ(std::vector<std::string>{c.library}, g_loader.loaded);
        EXPECT_TRUE(g_loader.freed.empty()) << "nothing was loaded, nothing is released";
        EXPECT_EQ("", console_);
    }
}

TEST_F(CleanProcessesTest, BackEndLackingAnEntryPointIsReleasedUnused)
{
    struct Case {
        const char* name;
        DWORD platform;
        const char* missing;
        int32_t expected;
    };
    const Case cases[] = {
        {"PSAPI without GetModuleFileNameExA", 2, "GetModuleFileNameExA", kPassNoPsapi},
        {"PSAPI without EnumProcesses", 2, "EnumProcesses", kPassNoPsapi},
        {"KERNEL32 without CreateToolhelp32Snapshot", 1, "CreateToolhelp32Snapshot",
         kPassNoToolhelp},
        {"KERNEL32 without Process32Next", 1, "Process32Next", kPassNoToolhelp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionPatch version(true, c.platform, 5, 0);
        g_loader = LoaderRecord();
        g_loader.missing = c.missing;
        EXPECT_EQ(c.expected, Run(kTestSet, 1));
        ASSERT_NE(nullptr, g_loader.lastLoaded);
        EXPECT_EQ(std::vector<HMODULE>{g_loader.lastLoaded}, g_loader.freed);
        EXPECT_EQ(nullptr, g_processApi.library);
        EXPECT_EQ("", console_) << "no process was examined";
    }
}

// The real back-ends of the platform: the test program itself is among the processes and
// carries no pattern of the test set.
TEST_F(CleanProcessesTest, RealProcessStatusPassIsReleasedAfterwards)
{
    VersionPatch version(true, VER_PLATFORM_WIN32_NT, 5, 1);
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    EXPECT_EQ(kPassNothingIdentified, Run(kTestSet, 1));
    EXPECT_EQ(std::vector<std::string>{SystemPsapiPath()}, g_loader.loaded);
    EXPECT_EQ(std::vector<HMODULE>{g_loader.lastLoaded}, g_loader.freed);
    EXPECT_EQ(nullptr, g_processApi.library);
    std::string line = "\n\t Scanning " + std::string(ownPath) + " ---> Not found";
    size_t at = console_.find(line);
    ASSERT_NE(std::string::npos, at) << console_;
    std::string rest = console_.substr(at + line.size());
    EXPECT_TRUE(rest.empty() || rest.compare(0, 2, "\n\t") == 0) << rest;
    EXPECT_EQ(LogText(), console_);
}

// Wine's Toolhelp gives bare file names (Windows 9x gives full paths): each process gets its
// scanning line and nothing more.
TEST_F(CleanProcessesTest, RealToolhelpPassOnWineSeesBareNames)
{
    VersionPatch version(true, VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    const char* ownName = FileBaseName(ownPath);
    ASSERT_NE(nullptr, ownName);
    EXPECT_EQ(kPassNothingIdentified, Run(kTestSet, 1));
    EXPECT_EQ(std::vector<std::string>{"KERNEL32.DLL"}, g_loader.loaded);
    EXPECT_EQ(std::vector<HMODULE>{g_loader.lastLoaded}, g_loader.freed);
    std::string line = "\n\t Scanning " + std::string(ownName);
    size_t at = console_.find(line);
    ASSERT_NE(std::string::npos, at) << console_;
    std::string rest = console_.substr(at + line.size());
    EXPECT_TRUE(rest.empty() || rest.compare(0, 2, "\n\t") == 0) << rest;
    EXPECT_EQ(std::string::npos, console_.find("--->")) << console_;
}

TEST(VariantRows, MessagesOfEachVariant)
{
    struct Case {
        const char* name;
        const VariantRow& row;
        const char* worm;
        const char* virus;
        bool key;
    };
    const Case cases[] = {
        {"A", kVariantRowA, " ---> found TROJ_VORN.A", " ---> found PE_QUILMO.A", false},
        {"C", kVariantRowC, " ---> found TROJ_VORN.C", " ---> found PE_QUILMO.A", false},
        {"E", kVariantRowE, " ---> found TROJ_VORN.E", " ---> found PE_QUILMO.B", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.worm, c.row.wormFoundMessage);
        EXPECT_STREQ(c.virus, c.row.virusFoundMessage);
        EXPECT_EQ(c.key, c.row.deleteServiceKeyOnMatch);
    }
}

// The variants' entries on the real platform, where no worm runs: each pass examines the
// processes and identifies none.
TEST(VariantPasses, NothingIdentifiedOnACleanSystem)
{
    DeleteFileA(kLogFileName);
    struct Case {
        const char* name;
        int32_t (*entry)();
    };
    const Case cases[] = {{"A", &CleanVariantA}, {"C", &CleanVariantC}, {"E", &CleanVariantE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        int32_t result = c.entry();
        std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(kPassNothingIdentified, result);
        EXPECT_NE(std::string::npos, console.find(" ---> Not found")) << console;
        EXPECT_EQ(nullptr, g_processApi.library);
    }
    DeleteFileA(kLogFileName);
}

// The memory stage of the run: three headings, each followed by its pass.
TEST(MemoryStage, ThreeHeadingsEachBeforeItsPass)
{
    DeleteFileA(kLogFileName);
    VersionPatch version(false, 0, 0, 0);   // every pass ends at once, with no message
    ASSERT_TRUE(version.applied());
    testing::internal::CaptureStdout();
    RunMemoryStage();
    std::string console = testing::internal::GetCapturedStdout();
    const std::string expected =
        "\n\nTerminating Worm/Virus processes for TROJ_VORN.A! "
        "\n\nTerminating Worm/Virus processes for TROJ_VORN.C! "
        "\n\nTerminating Worm/Virus processes for TROJ_VORN.E! ";
    EXPECT_EQ(expected, console);
    EXPECT_EQ(expected, LogText());
    EXPECT_EQ(3, g_versionCalls);
    DeleteFileA(kLogFileName);
}

}  // namespace
