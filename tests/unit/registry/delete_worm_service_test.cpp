#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using registry_test::Printed;

// ---- version query ----------------------------------------------------------------------

int g_versionCalls;
BOOL g_versionResult;
DWORD g_versionPlatform;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    ++g_versionCalls;
    if (!g_versionResult) {
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    *info = {};
    info->dwOSVersionInfoSize = size;
    info->dwPlatformId = g_versionPlatform;
    info->dwMajorVersion = g_versionPlatform == VER_PLATFORM_WIN32_NT ? 5 : 4;
    info->dwMinorVersion = g_versionPlatform == VER_PLATFORM_WIN32_NT ? 1 : 10;
    return TRUE;
}

// ---- service control manager, passed through and watched ---------------------------------

int g_managerCalls;
DWORD g_managerAccess;
bool g_managerArgumentsNull;
bool g_managerFails;
int g_serviceCalls;
DWORD g_serviceAccess;
int g_deleteCalls;
bool g_deleteFails;
int g_closeCalls;

decltype(&OpenSCManagerA) g_realOpenManager;
decltype(&OpenServiceA) g_realOpenService;
decltype(&DeleteService) g_realDelete;
decltype(&CloseServiceHandle) g_realClose;

SC_HANDLE WINAPI WatchOpenSCManagerA(const char* machine, const char* database, DWORD access)
{
    ++g_managerCalls;
    g_managerAccess = access;
    g_managerArgumentsNull = machine == nullptr && database == nullptr;
    if (g_managerFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return g_realOpenManager(machine, database, access);
}

SC_HANDLE WINAPI WatchOpenServiceA(SC_HANDLE manager, const char* name, DWORD access)
{
    ++g_serviceCalls;
    g_serviceAccess = access;
    return g_realOpenService(manager, name, access);
}

BOOL WINAPI WatchDeleteService(SC_HANDLE service)
{
    ++g_deleteCalls;
    if (g_deleteFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_realDelete(service);
}

BOOL WINAPI WatchCloseServiceHandle(SC_HANDLE handle)
{
    ++g_closeCalls;
    return g_realClose(handle);
}

constexpr char kProbeService[] = "PurgekitProbeSvc";

class DeleteWormServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_versionCalls = 0;
        g_versionResult = TRUE;
        g_versionPlatform = VER_PLATFORM_WIN32_NT;
        g_managerCalls = g_serviceCalls = g_deleteCalls = g_closeCalls = 0;
        g_managerAccess = g_serviceAccess = 0xDEADBEEF;
        g_managerArgumentsNull = false;
        g_managerFails = g_deleteFails = false;
    }
    void TearDown() override { RemoveProbeService(); }

    static void CreateProbeService()
    {
        registry_test::CreateTestService(kProbeService,
                                         registry_test::SystemFolder() + "purgekit-probe.exe");
    }
    static void RemoveProbeService() { registry_test::RemoveTestService(kProbeService); }

    ScopedImportPatch version_{"kernel32.dll", "GetVersionExA",
                               reinterpret_cast<void*>(&FakeGetVersionExA)};
};

// Watches the service control manager calls of the code under test for one scope.
struct ManagerWatch {
    ManagerWatch()
    {
        g_realOpenManager = manager.original<decltype(&OpenSCManagerA)>();
        g_realOpenService = service.original<decltype(&OpenServiceA)>();
        g_realDelete = deletion.original<decltype(&DeleteService)>();
        g_realClose = close.original<decltype(&CloseServiceHandle)>();
    }
    bool applied() const
    {
        return manager.applied() && service.applied() && deletion.applied() && close.applied();
    }
    ScopedImportPatch manager{"advapi32.dll", "OpenSCManagerA",
                              reinterpret_cast<void*>(&WatchOpenSCManagerA)};
    ScopedImportPatch service{"advapi32.dll", "OpenServiceA",
                              reinterpret_cast<void*>(&WatchOpenServiceA)};
    ScopedImportPatch deletion{"advapi32.dll", "DeleteService",
                               reinterpret_cast<void*>(&WatchDeleteService)};
    ScopedImportPatch close{"advapi32.dll", "CloseServiceHandle",
                            reinterpret_cast<void*>(&WatchCloseServiceHandle)};
};

TEST_F(DeleteWormServiceTest, MissingOrEmptyNameIsRefusedBeforeTheVersionQuery)
{
    ASSERT_TRUE(version_.applied());
    ManagerWatch watch;
    ASSERT_TRUE(watch.applied());
    std::string printed = Printed([] {
        EXPECT_EQ(-2, DeleteWormService(nullptr));
        EXPECT_EQ(-2, DeleteWormService(""));
    });
    EXPECT_EQ(0, g_versionCalls);
    EXPECT_EQ(0, g_managerCalls);
    EXPECT_EQ("", printed);
}

TEST_F(DeleteWormServiceTest, FailedVersionQueryOrNinetyFiveFamilyGivesMinusThree)
{
    CreateProbeService();
    ManagerWatch watch;
    struct Case {
        const char* name;
        BOOL result;
        DWORD platform;
    };
    const Case cases[] = {
        {"version query fails", FALSE, VER_PLATFORM_WIN32_NT},
        {"95/98/ME family", TRUE, VER_PLATFORM_WIN32_WINDOWS},
        {"Win32s", TRUE, VER_PLATFORM_WIN32s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_versionResult = c.result;
        g_versionPlatform = c.platform;
        g_versionCalls = 0;
        g_managerCalls = 0;
        EXPECT_EQ(-3, DeleteWormService(kProbeService));
        EXPECT_EQ(1, g_versionCalls);
        EXPECT_EQ(0, g_managerCalls) << "nothing may be opened";
        EXPECT_TRUE(registry_test::ServiceKnown(kProbeService)) << "the service must stay";
    }
}

TEST_F(DeleteWormServiceTest, ServiceThatDoesNotExistGivesMinusFourteenSilently)
{
    ManagerWatch watch;
    int32_t result = 0;
    std::string printed = Printed([&] { result = DeleteWormService("PurgekitNoSuchService"); });
    EXPECT_EQ(-14, result);
    EXPECT_EQ("", printed);
    EXPECT_EQ(1, g_managerCalls);
    EXPECT_EQ(0, g_deleteCalls);
    EXPECT_EQ(1, g_closeCalls) << "the manager's handle is closed";
}

TEST_F(DeleteWormServiceTest, ManagerThatCannotBeOpenedGivesMinusFourteen)
{
    CreateProbeService();
    {
        ManagerWatch watch;
        g_managerFails = true;
        EXPECT_EQ(-14, DeleteWormService(kProbeService));
        EXPECT_EQ(0, g_deleteCalls);
        EXPECT_EQ(0, g_closeCalls) << "no handle to close";
    }
    EXPECT_TRUE(registry_test::ServiceKnown(kProbeService));
}

TEST_F(DeleteWormServiceTest, RefusedDeletionGivesMinusFifteenAndClosesBothHandles)
{
    CreateProbeService();
    {
        ManagerWatch watch;
        g_deleteFails = true;
        EXPECT_EQ(-15, DeleteWormService(kProbeService));
        EXPECT_EQ(1, g_deleteCalls);
        EXPECT_EQ(2, g_closeCalls);
    }
    EXPECT_TRUE(registry_test::ServiceKnown(kProbeService));
}

TEST_F(DeleteWormServiceTest, KnownServiceIsDeletedWithTheDocumentedAccessRights)
{
    CreateProbeService();
    ASSERT_TRUE(registry_test::ServiceKnown(kProbeService));
    int32_t result = -1;
    std::string printed;
    {
        ManagerWatch watch;
        printed = Printed([&] { result = DeleteWormService(kProbeService); });
        EXPECT_TRUE(g_managerArgumentsNull) << "local machine, active database";
        EXPECT_EQ(static_cast<DWORD>(0xF003F), g_managerAccess);
        EXPECT_EQ(static_cast<DWORD>(0x10000), g_serviceAccess);
        EXPECT_EQ(2, g_closeCalls);
    }
    EXPECT_EQ(0, result);
    EXPECT_EQ("", printed) << "the run reports the deletion, not the operation";
    EXPECT_FALSE(registry_test::ServiceKnown(kProbeService));
    EXPECT_EQ(-14, DeleteWormService(kProbeService)) << "a second call finds nothing";
}

}  // namespace
