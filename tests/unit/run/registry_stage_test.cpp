#include "registry/registry.h"
#include "registry_fixture.h"
#include "run/run_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using registry_test::Printed;
using registry_test::SetText;
using registry_test::SystemFolder;
using registry_test::ValueExists;

const std::string kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWindowsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

const std::string kHeader = "\n\nCleaning System Registry!";
const std::string kANotFound = "\n\t TROJ_VORN.A not found in the SYSTEM REGISTRY";
const std::string kCNotFound = "\n\t TROJ_VORN.C not found in the SYSTEM REGISTRY";
const std::string kAFound =
    "\n\t TROJ_VORN.A found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\krn132\"";
const std::string kRunVirusFound =
    "\n\t PE_QUILMO.A/B found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\wqk\"";
const std::string kAppInitFound = "\n\t PE_QUILMO.A/B found in the \"SOFTWARE\\Microsoft\\"
                                  "Windows NT\\CurrentVersion\\Windows\\AppInit_DLLs\"";
const std::string kCFound =
    "\n\t TROJ_VORN.C found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\WinSvc\"";
const std::string kRemoved = "---> Removed";

class RegistryStageTest : public testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        state_.systemFolderWhole = GetSystemFolderPath(state_.systemFolder,
                                                       sizeof(state_.systemFolder));
        ASSERT_TRUE(state_.systemFolderWhole);
    }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kRunKey);
        registry_test::CreateKey(HKEY_LOCAL_MACHINE, kRunKey);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kWindowsKey);
    }
    std::string Run()
    {
        return Printed([&] { RunRegistryStage(&state_); });
    }
    RunState state_ = {};
};

TEST_F(RegistryStageTest, CleanSystemReportsTheTwoWormVariantsOnly)
{
    EXPECT_EQ(kHeader + kANotFound + kCNotFound, Run());
    EXPECT_FALSE(state_.found);
    // The three paths the run keeps for the dropped-file stage.
    EXPECT_EQ(SystemFolder() + "krn132.exe", state_.wormFile.text);
    EXPECT_EQ(SystemFolder() + "wqk.exe", state_.dropperFile.text);
    EXPECT_EQ(SystemFolder() + "WinSvc.exe", state_.variantCFile.text);
    EXPECT_TRUE(state_.wormFile.whole && state_.dropperFile.whole && state_.variantCFile.whole);
}

TEST_F(RegistryStageTest, EachStartUpValueFoundSetsTheFlag)
{
    std::string upperFolder = SystemFolder();
    CharUpperBuffA(&upperFolder[0], static_cast<DWORD>(upperFolder.size()));
    struct Case {
        const char* name;
        std::string valueName, key, data;
        std::string expected;
        bool found;
    };
    const Case cases[] = {
        {"worm Run value, mixed case", "krn132", kRunKey, upperFolder + "Krn132.EXE",
         kHeader + kAFound + kRemoved + kCNotFound, true},
        {"worm Run value quoted", "krn132", kRunKey, "\"" + SystemFolder() + "krn132.exe\"",
         kHeader + kANotFound + kCNotFound, false},
        {"dropper Run value", "wqk", kRunKey, SystemFolder() + "WQK.exe",
         kHeader + kANotFound + kRunVirusFound + kRemoved + kCNotFound, true},
        {"AppInit value exactly the library", "AppInit_DLLs", kWindowsKey, "wqk.DLL",
         kHeader + kANotFound + kAppInitFound + kRemoved + kCNotFound, true},
        {"AppInit value listing libraries", "AppInit_DLLs", kWindowsKey, "a.dll,Wqk.dll",
         kHeader + kANotFound + kCNotFound, false},
        {"variant C Run value", "WinSvc", kRunKey, SystemFolder() + "winsvc.exe",
         kHeader + kANotFound + kCFound + kRemoved, true},
        {"variant C with an argument", "WinSvc", kRunKey, SystemFolder() + "WinSvc.exe /s",
         kHeader + kANotFound + kCNotFound, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        SetText(HKEY_LOCAL_MACHINE, c.key, c.valueName, c.data);
        state_.found = false;
        EXPECT_EQ(c.expected, Run());
        EXPECT_EQ(c.found, state_.found);
        EXPECT_EQ(!c.found, ValueExists(HKEY_LOCAL_MACHINE, c.key, c.valueName));
    }
}

TEST_F(RegistryStageTest, DropperRunValueTakesPrecedenceOverTheAppInitValue)
{
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "wqk", SystemFolder() + "wqk.exe");
    SetText(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs", "Wqk.dll");
    EXPECT_EQ(kHeader + kANotFound + kRunVirusFound + kRemoved + kCNotFound, Run());
    EXPECT_TRUE(state_.found);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "wqk"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs"));

    state_.found = false;
    EXPECT_EQ(kHeader + kANotFound + kAppInitFound + kRemoved + kCNotFound, Run())
        << "the next run takes the AppInit value";
    EXPECT_TRUE(state_.found);
}

TEST_F(RegistryStageTest, WinkValuesGoSilentlyAndSetNoFlag)
{
    for (const char* name : {"WINK1", "wink", "WiNkXyz", "xWINK", "WIN"}) {
        SetText(HKEY_LOCAL_MACHINE, kRunKey, name, "C:\\some.exe");
    }
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "", "C:\\default.exe");
    EXPECT_EQ(kHeader + kANotFound + kCNotFound, Run());
    EXPECT_FALSE(state_.found);
    for (const char* name : {"WINK1", "wink", "WiNkXyz"}) {
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, name)) << name;
    }
    for (const char* name : {"xWINK", "WIN", ""}) {
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, name)) << name;
    }
}

// A Run value whose data is a path the run could not build whole is never matched against.
TEST_F(RegistryStageTest, PathsThatAreNotWholeAreNeverUsedAsData)
{
    state_.systemFolderWhole = false;
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "krn132", SystemFolder() + "krn132.exe");
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "wqk", SystemFolder() + "wqk.exe");
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "WinSvc", SystemFolder() + "WinSvc.exe");
    SetText(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs", "Wqk.dll");
    EXPECT_EQ(kHeader + kANotFound + kAppInitFound + kRemoved + kCNotFound, Run());
    EXPECT_FALSE(state_.wormFile.whole);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "krn132"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "wqk"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "WinSvc"));
    EXPECT_TRUE(state_.found) << "only from the AppInit value, which names no path";
}

}  // namespace
