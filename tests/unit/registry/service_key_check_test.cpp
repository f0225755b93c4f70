#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/binding_patch.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

using registry_test::CreateKey;
using registry_test::KeyExists;
using registry_test::Printed;
using registry_test::SetText;
using registry_test::SetValue;
using registry_test::SystemFolder;

const std::string kServices = registry_test::kServicesKey;
const std::string kKrn132 = kServices + "\\Krn132";
const std::string kKernelSvc = kServices + "\\KernelSvc";
const std::string kWinSvc = kServices + "\\WinSvc";

const std::string kKernelSvcDeleted =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\KernelSvc\" deleted";
const std::string kKrn132Deleted =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Krn132\" deleted";
const std::string kWinSvcDeleted =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSvc\" deleted";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Alternating case, starting upper.
std::string Mixed(std::string text)
{
    bool upper = true;
    for (char& c : text) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                        : std::tolower(static_cast<unsigned char>(c)));
            upper = !upper;
        }
    }
    return text;
}

std::string Terminated(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

// ---- fault injection ----------------------------------------------------------------------

BOOL g_versionResult;
DWORD g_versionPlatform;
int g_versionCalls;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    ++g_versionCalls;
    if (info->dwOSVersionInfoSize != 148 || !g_versionResult) {
        return FALSE;
    }
    *info = {};
    info->dwOSVersionInfoSize = 148;
    info->dwPlatformId = g_versionPlatform;
    info->dwMajorVersion = 4;
    return TRUE;
}

int g_openCalls;
decltype(&RegOpenKeyA) g_realOpen;
LONG WINAPI CountRegOpenKeyA(HKEY root, const char* path, HKEY* key)
{
    ++g_openCalls;
    return g_realOpen(root, path, key);
}

decltype(&RegCloseKey) g_realClose;
LONG WINAPI FailingRegCloseKey(HKEY key)
{
    g_realClose(key);
    return ERROR_INVALID_HANDLE;
}

LONG WINAPI RefusingSHDeleteKeyA(HKEY, const char*)
{
    return ERROR_ACCESS_DENIED;
}

// RegQueryValueExA that delivers chosen bytes and reports a chosen size.
std::string g_queryBytes;
DWORD g_queryReported;
DWORD g_querySizeOffered;
std::string g_queryName;
LONG WINAPI FakeRegQueryValueExA(HKEY, const char* name, DWORD*, DWORD* type, BYTE* data,
                                 DWORD* size)
{
    g_queryName = name != nullptr ? name : "(null)";
    g_querySizeOffered = size != nullptr ? *size : 0;
    if (data == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    size_t copied = std::min<size_t>(g_queryBytes.size(), *size);
    memcpy(data, g_queryBytes.data(), copied);
    *size = g_queryReported;
    if (type != nullptr) {
        *type = REG_BINARY;
    }
    return ERROR_SUCCESS;
}

class ServiceKeyCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        g_versionResult = TRUE;
        g_versionPlatform = VER_PLATFORM_WIN32_NT;
        g_versionCalls = 0;
        g_openCalls = 0;
    }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kKrn132);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kKernelSvc);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kWinSvc);
    }
    static std::string WormImage() { return SystemFolder() + "Krn132.exe"; }
};

TEST_F(ServiceKeyCheckTest, ImagePathDecidesWhetherTheKrn132EntryIsTheWorm)
{
    struct Case {
        const char* name;
        DWORD type;
        std::string imagePath;   // raw bytes; empty string with plantValue false: no value
        bool plantValue;
        int32_t expected;
    };
    const std::string worm = WormImage();
    const Case cases[] = {
        {"exact, as the table writes it", REG_SZ, Terminated(worm), true, 0},
        {"all lower case", REG_SZ, Terminated(Lower(worm)), true, 0},
        {"all upper case", REG_SZ, Terminated(Upper(worm)), true, 0},
        {"mixed case", REG_SZ, Terminated(Mixed(worm)), true, 0},
        {"REG_EXPAND_SZ: the type is not examined", REG_EXPAND_SZ, Terminated(worm), true, 0},
        {"binary, no terminator, exactly the path", REG_BINARY, worm, true, 0},
        {"text ends at the first zero byte", REG_BINARY, worm + std::string(1, '\0') + "junk",
         true, 0},
        {"quoted", REG_SZ, Terminated("\"" + worm + "\""), true, -7},
        {"with an argument", REG_SZ, Terminated(worm + " -service"), true, -7},
        {"trailing blank", REG_SZ, Terminated(worm + " "), true, -7},
        {"environment variable", REG_SZ, Terminated("%SystemRoot%\\system32\\Krn132.exe"), true,
         -7},
        {"another folder", REG_SZ, Terminated("C:\\windows\\Krn132.exe"), true, -7},
        {"bare file name", REG_SZ, Terminated("Krn132.exe"), true, -7},
        {"longer file name", REG_SZ, Terminated(worm + ".bak"), true, -7},
        {"the other worm file", REG_SZ, Terminated(SystemFolder() + "WinSvc.exe"), true, -7},
        {"empty text", REG_SZ, std::string(1, '\0'), true, -7},
        {"zero-length data", REG_SZ, std::string(), true, -7},
        {"1023 letters fit the buffer", REG_SZ, Terminated(std::string(1023, 'K')), true, -7},
        {"binary filling the whole buffer", REG_BINARY, worm + std::string(1024 - worm.size(), 'X'),
         true, -7},
        {"no ImagePath value", REG_SZ, std::string(), false, -21},
        {"1024 letters and terminator do not fit", REG_SZ, Terminated(std::string(1024, 'K')),
         true, -21},
        {"far too long", REG_SZ, Terminated(worm + std::string(1200, ' ')), true, -21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        CreateKey(HKEY_LOCAL_MACHINE, kKrn132 + "\\Enum");
        if (c.plantValue) {
            SetValue(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", c.type, c.imagePath);
        }
        SetText(HKEY_LOCAL_MACHINE, kKernelSvc, "ImagePath", "C:\\elsewhere\\kernel.exe");
        int32_t result = 1;
        std::string printed = Printed([&] { result = CleanKrn132ServiceKeys(); });
        EXPECT_EQ(c.expected, result);
        if (c.expected == 0) {
            EXPECT_EQ(kKernelSvcDeleted + kKrn132Deleted, printed);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132));
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelSvc))
                << "deleted on the strength of the Krn132 entry alone";
        } else {
            EXPECT_EQ("", printed);
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132 + "\\Enum"));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKernelSvc));
        }
    }
}

TEST_F(ServiceKeyCheckTest, WithoutKernelSvcOnlyTheKrn132KeyIsReported)
{
    SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", Mixed(WormImage()));
    int32_t result = 1;
    std::string printed = Printed([&] { result = CleanKrn132ServiceKeys(); });
    EXPECT_EQ(0, result);
    EXPECT_EQ(kKrn132Deleted, printed);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132));
    EXPECT_EQ(-20, CleanKrn132ServiceKeys()) << "a deleted key is not found again";
}

TEST_F(ServiceKeyCheckTest, NoKeyGivesMinusTwenty)
{
    SetText(HKEY_LOCAL_MACHINE, kKernelSvc, "ImagePath", WormImage());
    std::string printed = Printed([] {
        EXPECT_EQ(-20, CleanKrn132ServiceKeys());
        EXPECT_EQ(-20, CleanWinSvcServiceKey());
    });
    EXPECT_EQ("", printed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKernelSvc));
}

TEST_F(ServiceKeyCheckTest, WinSvcCheckUsesItsOwnColumn)
{
    const std::string variantC = SystemFolder() + "WinSvc.exe";
    struct Case {
        const char* name;
        std::string imagePath;
        int32_t expected;
    };
    const Case cases[] = {
        {"exact", variantC, 0},
        {"mixed case", Mixed(variantC), 0},
        {"the Krn132 file", WormImage(), -7},
        {"quoted", "\"" + variantC + "\"", -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        SetText(HKEY_LOCAL_MACHINE, kWinSvc, "ImagePath", c.imagePath);
        SetText(HKEY_LOCAL_MACHINE, kKernelSvc, "ImagePath", variantC);
        SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", variantC);
        int32_t result = 1;
        std::string printed = Printed([&] { result = CleanWinSvcServiceKey(); });
        EXPECT_EQ(c.expected, result);
        EXPECT_EQ(c.expected == 0 ? kWinSvcDeleted : "", printed);
        EXPECT_EQ(c.expected != 0, KeyExists(HKEY_LOCAL_MACHINE, kWinSvc));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKernelSvc)) << "not in the WinSvc column";
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132)) << "not in the WinSvc column";
    }
}

TEST_F(ServiceKeyCheckTest, OutsideTheNtFamilyNothingIsOpened)
{
    SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", WormImage());
    SetText(HKEY_LOCAL_MACHINE, kWinSvc, "ImagePath", SystemFolder() + "WinSvc.exe");
    struct Case {
        const char* name;
        BOOL result;
        DWORD platform;
    };
    const Case cases[] = {
        {"version query fails", FALSE, VER_PLATFORM_WIN32_NT},
        {"95/98/ME family", TRUE, VER_PLATFORM_WIN32_WINDOWS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedImportPatch version("kernel32.dll", "GetVersionExA",
                                  reinterpret_cast<void*>(&FakeGetVersionExA));
        ScopedImportPatch open("advapi32.dll", "RegOpenKeyA",
                               reinterpret_cast<void*>(&CountRegOpenKeyA));
        ASSERT_TRUE(version.applied());
        ASSERT_TRUE(open.applied());
        g_realOpen = open.original<decltype(&RegOpenKeyA)>();
        g_versionResult = c.result;
        g_versionPlatform = c.platform;
        g_versionCalls = 0;
        g_openCalls = 0;
        std::string printed = Printed([] {
            EXPECT_EQ(-3, CleanKrn132ServiceKeys());
            EXPECT_EQ(-3, CleanWinSvcServiceKey());
        });
        EXPECT_EQ(2, g_versionCalls);
        EXPECT_EQ(0, g_openCalls);
        EXPECT_EQ("", printed);
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kWinSvc));
}

TEST_F(ServiceKeyCheckTest, FailedCloseReplacesEveryResultWithMinusTwentyFour)
{
    struct Case {
        const char* name;
        bool plantImagePath;
        std::string imagePath;
        bool deleted;
    };
    const Case cases[] = {
        {"worm found: keys still deleted and reported", true, WormImage(), true},
        {"other image", true, "C:\\other.exe", false},
        {"no ImagePath", false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        CreateKey(HKEY_LOCAL_MACHINE, kKrn132);
        if (c.plantImagePath) {
            SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", c.imagePath);
        }
        int32_t result = 1;
        std::string printed;
        {
            ScopedImportPatch close("advapi32.dll", "RegCloseKey",
                                    reinterpret_cast<void*>(&FailingRegCloseKey));
            ASSERT_TRUE(close.applied());
            g_realClose = close.original<decltype(&RegCloseKey)>();
            printed = Printed([&] { result = CleanKrn132ServiceKeys(); });
        }
        EXPECT_EQ(-24, result);
        EXPECT_EQ(c.deleted ? kKrn132Deleted : "", printed);
        EXPECT_EQ(!c.deleted, KeyExists(HKEY_LOCAL_MACHINE, kKrn132));
    }
}

TEST_F(ServiceKeyCheckTest, RefusedKeyDeletionIsSilentAndStillZero)
{
    SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", WormImage());
    CreateKey(HKEY_LOCAL_MACHINE, kKernelSvc);
    SetText(HKEY_LOCAL_MACHINE, kWinSvc, "ImagePath", SystemFolder() + "WinSvc.exe");
    ScopedEntryPointPatch refuse("shlwapi.dll", "SHDeleteKeyA",
                                 reinterpret_cast<void*>(&RefusingSHDeleteKeyA));
    ASSERT_TRUE(refuse.applied());
    std::string printed = Printed([] {
        EXPECT_EQ(0, CleanKrn132ServiceKeys());
        EXPECT_EQ(0, CleanWinSvcServiceKey());
    });
    EXPECT_EQ("", printed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKrn132));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKernelSvc));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kWinSvc));
}

TEST_F(ServiceKeyCheckTest, ImagePathIsTakenOnlyWithinTheBytesRead)
{
    const std::string worm = WormImage();
    struct Case {
        const char* name;
        std::string delivered;   // bytes written into the buffer
        DWORD reported;          // size the read reports
        int32_t expected;
    };
    const Case cases[] = {
        {"whole path and terminator", Terminated(worm), static_cast<DWORD>(worm.size() + 1), 0},
        {"whole path, size without terminator", worm, static_cast<DWORD>(worm.size()), 0},
        {"path written but only part of it reported",
         Terminated(worm), static_cast<DWORD>(worm.size() - 4), -7},
        {"zero bytes reported", Terminated(worm), 0, -7},
        {"path followed by canary bytes to the end of the buffer",
         worm + std::string(1024 - worm.size(), '\xBD'), 1024, -7},
        {"size reported beyond the buffer", worm + std::string(1024 - worm.size(), '\xBD'), 5000,
         -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        SetText(HKEY_LOCAL_MACHINE, kKrn132, "ImagePath", "placeholder");
        g_queryBytes = c.delivered;
        g_queryReported = c.reported;
        g_querySizeOffered = 0;
        int32_t result = 1;
        {
            ScopedImportPatch query("advapi32.dll", "RegQueryValueExA",
                                    reinterpret_cast<void*>(&FakeRegQueryValueExA));
            ASSERT_TRUE(query.applied());
            Printed([&] { result = CleanKrn132ServiceKeys(); });
        }
        EXPECT_EQ(c.expected, result);
        EXPECT_EQ(1024u, g_querySizeOffered);
        EXPECT_EQ("ImagePath", g_queryName);
    }
}

}  // namespace
