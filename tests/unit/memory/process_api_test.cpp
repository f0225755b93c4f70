// The two loaders: libraries loaded and entry points looked up by name, at run time.
#include "fake_system.h"

#include <string>
#include <vector>

namespace {

const HMODULE kCanaryLibrary = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0xDEADBEEF));
const EnumProcessesFn kCanaryEntry =
    reinterpret_cast<EnumProcessesFn>(static_cast<uintptr_t>(0xDEADBEEF));

class ProcessApiTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loader_.applied());
        g_processApi = {};
    }
    void TearDown() override
    {
        if (g_processApi.library != kCanaryLibrary) {
            ReleaseProcessApi();
        }
        g_processApi = {};
    }
    LoaderPatches loader_;
};

const std::vector<std::string> kPsapiNames = {"EnumProcesses", "EnumProcessModules",
                                              "GetModuleBaseNameA", "GetModuleFileNameExA"};
const std::vector<std::string> kToolhelpNames = {"Process32First", "Process32Next",
                                                 "CreateToolhelp32Snapshot"};

void* PsapiEntry(const std::string& name)
{
    if (name == "EnumProcesses") return reinterpret_cast<void*>(g_processApi.EnumProcesses);
    if (name == "EnumProcessModules") return reinterpret_cast<void*>(g_processApi.EnumProcessModules);
    if (name == "GetModuleBaseNameA") return reinterpret_cast<void*>(g_processApi.GetModuleBaseNameA);
    return reinterpret_cast<void*>(g_processApi.GetModuleFileNameExA);
}

void* ToolhelpEntry(const std::string& name)
{
    if (name == "Process32First") return reinterpret_cast<void*>(g_processApi.Process32First);
    if (name == "Process32Next") return reinterpret_cast<void*>(g_processApi.Process32Next);
    return reinterpret_cast<void*>(g_processApi.CreateToolhelp32Snapshot);
}

TEST_F(ProcessApiTest, LoadPsapiBindsItsFourEntryPointsByName)
{
    EXPECT_EQ(kLoadOk, LoadPsapi());
    ASSERT_NE(nullptr, g_processApi.library);
    EXPECT_EQ(std::vector<std::string>{SystemPsapiPath()}, g_loader.loaded)
        << "by its full path in the system folder only";
    EXPECT_EQ(kPsapiNames, g_loader.lookedUp);
    for (const std::string& name : kPsapiNames) {
        SCOPED_TRACE(name);
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(g_processApi.library, name.c_str())),
                  PsapiEntry(name));
    }
    HMODULE library = g_processApi.library;
    ReleaseProcessApi();
    EXPECT_EQ(std::vector<HMODULE>{library}, g_loader.freed);
    EXPECT_EQ(nullptr, g_processApi.library);
}

TEST_F(ProcessApiTest, LoadToolhelpBindsItsThreeEntryPointsByName)
{
    EXPECT_EQ(kLoadOk, LoadToolhelp());
    ASSERT_NE(nullptr, g_processApi.library);
    EXPECT_EQ(std::vector<std::string>{"KERNEL32.DLL"}, g_loader.loaded);
    EXPECT_EQ(kToolhelpNames, g_loader.lookedUp);
    for (const std::string& name : kToolhelpNames) {
        SCOPED_TRACE(name);
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(g_processApi.library, name.c_str())),
                  ToolhelpEntry(name));
        EXPECT_NE(nullptr, ToolhelpEntry(name));
    }
}

TEST_F(ProcessApiTest, LibraryThatDoesNotLoadLeavesNothingToRelease)
{
    struct Case {
        const char* name;
        int32_t (*load)();
        int32_t expected;
    };
    const Case cases[] = {{"no PSAPI.DLL", &LoadPsapi, kLoadNoPsapi},
                          {"no KERNEL32.DLL", &LoadToolhelp, kLoadNoKernel32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_loader = LoaderRecord();
        g_loader.refuseLoad = true;
        g_processApi.library = kCanaryLibrary;
        g_processApi.EnumProcesses = kCanaryEntry;
        EXPECT_EQ(c.expected, c.load());
        EXPECT_EQ(nullptr, g_processApi.library);
        EXPECT_TRUE(g_loader.lookedUp.empty());
        EXPECT_EQ(kCanaryEntry, g_processApi.EnumProcesses) << "no entry point is touched";
        ReleaseProcessApi();
        EXPECT_TRUE(g_loader.freed.empty());
    }
}

TEST_F(ProcessApiTest, PsapiLackingAnEntryPointStaysLoaded)
{
    for (const std::string& missing : kPsapiNames) {
        SCOPED_TRACE(missing);
        g_loader = LoaderRecord();
        g_loader.missing = missing;
        EXPECT_EQ(kLoadMissingEntry, LoadPsapi());
        EXPECT_NE(nullptr, g_processApi.library);
        EXPECT_EQ(kPsapiNames, g_loader.lookedUp) << "all four are looked up in any case";
        for (const std::string& name : kPsapiNames) {
            SCOPED_TRACE(name);
            EXPECT_EQ(name == missing, PsapiEntry(name) == nullptr);
        }
        HMODULE library = g_processApi.library;
        ReleaseProcessApi();
        EXPECT_EQ(std::vector<HMODULE>{library}, g_loader.freed);
    }
}

TEST_F(ProcessApiTest, ToolhelpLackingAnEntryPointStaysLoaded)
{
    for (const std::string& missing : kToolhelpNames) {
        SCOPED_TRACE(missing);
        g_loader = LoaderRecord();
        g_loader.missing = missing;
        EXPECT_EQ(kLoadMissingEntry, LoadToolhelp());
        EXPECT_NE(nullptr, g_processApi.library);
        EXPECT_EQ(kToolhelpNames, g_loader.lookedUp) << "all three are looked up in any case";
        for (const std::string& name : kToolhelpNames) {
            SCOPED_TRACE(name);
            EXPECT_EQ(name == missing, ToolhelpEntry(name) == nullptr);
        }
        ReleaseProcessApi();
    }
}

}  // namespace
