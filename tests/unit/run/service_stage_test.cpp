#include "registry/registry.h"
#include "registry_fixture.h"
#include "run/run_state.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using registry_test::CreateTestService;
using registry_test::KeyExists;
using registry_test::Printed;
using registry_test::RemoveTestService;
using registry_test::ServiceKnown;
using registry_test::SetText;
using registry_test::SystemFolder;

const std::string kServices = registry_test::kServicesKey;
const std::string kHeader = "\n\nStopping/Removing Worm/Virus services!";
const std::string kNotFound = "\n\t Worm/Virus services not found!.";
const std::string kKernelSvcKey =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\KernelSvc\" deleted";
const std::string kKrn132Key =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Krn132\" deleted";
const std::string kWinSvcKey =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSvc\" deleted";
const std::string kKernelSvcStopped = "\n\t Virus Service \"KernelSvc\" stopped.";
const std::string kKrn132Stopped = "\n\t Worm Service \"Krn132\" stopped.";
const std::string kWinSvcStopped = "\n\t Worm Service \"WinSvc\" stopped.";

BOOL WINAPI NinetyEightGetVersionExA(OSVERSIONINFOA* info)
{
    *info = {};
    info->dwOSVersionInfoSize = 148;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    return TRUE;
}

class ServiceStageTest : public testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        for (const char* name : {"KernelSvc", "Krn132", "WinSvc"}) {
            RemoveTestService(name);
            registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kServices + "\\" + name);
        }
    }
    RunState state_ = {};
};

TEST_F(ServiceStageTest, CleanSystemReportsNotFoundAndLeavesTheFlag)
{
    std::string printed = Printed([&] { RunServiceStage(&state_); });
    EXPECT_EQ(kHeader + kNotFound, printed);
    EXPECT_FALSE(state_.found);

    state_.found = true;   // nothing ever clears it
    Printed([&] { RunServiceStage(&state_); });
    EXPECT_TRUE(state_.found);
}

// Keys planted in the registry alone: the manager does not know the services, so their
// deletion fails silently while the found flag is set all the same.
TEST_F(ServiceStageTest, Krn132EntryOfTheWormSetsTheFlagEvenWhenTheServicesCannotBeDeleted)
{
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\Krn132", "ImagePath", SystemFolder() + "KRN132.exe");
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\KernelSvc", "ImagePath", "C:\\x.exe");
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\WinSvc", "ImagePath", SystemFolder() + "WinSvc.exe");
    std::string printed = Printed([&] { RunServiceStage(&state_); });
    EXPECT_EQ(kHeader + kKernelSvcKey + kKrn132Key, printed);
    EXPECT_TRUE(state_.found);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\WinSvc"))
        << "the WinSvc entry is not examined once the Krn132 entry was the worm's";
}

TEST_F(ServiceStageTest, WormServicesKnownToTheManagerAreDeletedAndReported)
{
    CreateTestService("Krn132", SystemFolder() + "krn132.exe");
    CreateTestService("KernelSvc", SystemFolder() + "krn132.exe");
    std::string printed = Printed([&] { RunServiceStage(&state_); });
    EXPECT_EQ(kHeader + kKernelSvcKey + kKrn132Key + kKernelSvcStopped + kKrn132Stopped, printed);
    EXPECT_TRUE(state_.found);
    EXPECT_FALSE(ServiceKnown("Krn132"));
    EXPECT_FALSE(ServiceKnown("KernelSvc"));
}

TEST_F(ServiceStageTest, WinSvcEntryIsCheckedWhenKrn132IsNotTheWorms)
{
    CreateTestService("WinSvc", SystemFolder() + "winsvc.EXE");
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\Krn132", "ImagePath",
            "\"" + SystemFolder() + "krn132.exe\"");
    std::string printed = Printed([&] { RunServiceStage(&state_); });
    EXPECT_EQ(kHeader + kWinSvcKey + kWinSvcStopped, printed);
    EXPECT_TRUE(state_.found);
    EXPECT_FALSE(ServiceKnown("WinSvc"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\Krn132"));
}

TEST_F(ServiceStageTest, OutsideTheNtFamilyNothingIsFoundOrTouched)
{
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\Krn132", "ImagePath", SystemFolder() + "krn132.exe");
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\WinSvc", "ImagePath", SystemFolder() + "WinSvc.exe");
    std::string printed;
    {
        ScopedImportPatch version("kernel32.dll", "GetVersionExA",
                                  reinterpret_cast<void*>(&NinetyEightGetVersionExA));
        ASSERT_TRUE(version.applied());
        printed = Printed([&] { RunServiceStage(&state_); });
    }
    EXPECT_EQ(kHeader + kNotFound, printed);
    EXPECT_FALSE(state_.found);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\Krn132"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\WinSvc"));
}

}  // namespace
