#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/binding_patch.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using registry_test::CreateKey;
using registry_test::KeyExists;
using registry_test::Printed;
using registry_test::SetText;
using registry_test::SetValue;

const std::string kServices = registry_test::kServicesKey;
const std::string kHead = "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
const std::string kTail = "\\ deleted";

// A service key whose ImagePath runs `fileName` from the system folder, as the worm's does.
void PlantWormKey(const std::string& keyName, const std::string& fileName)
{
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\" + keyName, "ImagePath",
            registry_test::SystemFolder() + fileName);
}

int g_openCalls;
int g_deleteCalls;
decltype(&RegOpenKeyA) g_realOpen;
using SHDeleteKeyAFn = LONG(WINAPI*)(HKEY, const char*);
SHDeleteKeyAFn g_realDelete;
bool g_refuseDeletion;

LONG WINAPI WatchRegOpenKeyA(HKEY root, const char* path, HKEY* key)
{
    ++g_openCalls;
    return g_realOpen(root, path, key);
}

LONG WINAPI WatchSHDeleteKeyA(HKEY root, const char* path)
{
    ++g_deleteCalls;
    return g_refuseDeletion ? ERROR_ACCESS_DENIED : g_realDelete(root, path);
}

class DeleteServiceKeyForFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_realOpen = open_.original<decltype(&RegOpenKeyA)>();
        g_realDelete = delete_.original<SHDeleteKeyAFn>();
        g_openCalls = g_deleteCalls = 0;
        g_refuseDeletion = false;
        // Something in the Services key that a wrong deletion would take with it.
        CreateKey(HKEY_LOCAL_MACHINE, kServices + "\\PurgekitSentinel\\Enum");
    }
    void TearDown() override
    {
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\PurgekitSentinel\\Enum"))
            << "the Services key was touched";
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kServices + "\\PurgekitSentinel");
    }

    ScopedImportPatch open_{"advapi32.dll", "RegOpenKeyA",
                            reinterpret_cast<void*>(&WatchRegOpenKeyA)};
    ScopedEntryPointPatch delete_{"shlwapi.dll", "SHDeleteKeyA",
                                  reinterpret_cast<void*>(&WatchSHDeleteKeyA)};
};

TEST_F(DeleteServiceKeyForFileTest, KeyNamedAfterTheBaseNameIsDeletedWithItsSubkeys)
{
    ASSERT_TRUE(open_.applied());
    ASSERT_TRUE(delete_.applied());
    struct Case {
        const char* name;
        std::string fileName;
        std::string keyPlanted;
        std::string nameReported;
    };
    const Case cases[] = {
        {"name.ext", "probe.exe", "probe", "probe"},
        {"two dots: cut at the first", "Probe.tar.exe", "Probe", "Probe"},
        {"letter case reported as received", "PROBE.EXE", "probe", "PROBE"},
        {"one letter", "p.exe", "p", "p"},
        {"dot at the end", "probe.", "probe", "probe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CreateKey(HKEY_LOCAL_MACHINE, kServices + "\\" + c.keyPlanted + "\\Enum\\Deeper");
        PlantWormKey(c.keyPlanted, c.fileName);
        int32_t result = 1;
        std::string printed = Printed([&] { result = DeleteServiceKeyForFile(c.fileName.c_str()); });
        EXPECT_EQ(0, result);
        EXPECT_EQ(kHead + c.nameReported + kTail, printed);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\" + c.keyPlanted));
    }
}

TEST_F(DeleteServiceKeyForFileTest, NoSuchKeyGivesMinusTwentyAndNoMessage)
{
    int32_t result = 1;
    std::string printed = Printed([&] { result = DeleteServiceKeyForFile("PurgekitNone.exe"); });
    EXPECT_EQ(-20, result);
    EXPECT_EQ("", printed);
    EXPECT_EQ(0, g_deleteCalls);
}

TEST_F(DeleteServiceKeyForFileTest, RefusedDeletionIsSilentAndStillZero)
{
    PlantWormKey("probe", "probe.exe");
    g_refuseDeletion = true;
    int32_t result = 1;
    std::string printed = Printed([&] { result = DeleteServiceKeyForFile("probe.exe"); });
    EXPECT_EQ(0, result);
    EXPECT_EQ("", printed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\probe"));
    g_refuseDeletion = false;
    registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kServices + "\\probe");
}

// An empty base name would name the Services key itself: refused, nothing opened or deleted.
TEST_F(DeleteServiceKeyForFileTest, EmptyBaseNameIsRefusedAndTouchesNothing)
{
    struct Case {
        const char* name;
        const char* fileName;
    };
    const Case cases[] = {
        {"no file name", nullptr},
        {"empty file name", ""},
        {"no dot", "krn132"},
        {"leading dot", ".exe"},
        {"only a dot", "."},
        {"two leading dots", "..exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_openCalls = g_deleteCalls = 0;
        int32_t result = 1;
        std::string printed = Printed([&] { result = DeleteServiceKeyForFile(c.fileName); });
        EXPECT_EQ(-2, result);
        EXPECT_EQ("", printed);
        EXPECT_EQ(0, g_openCalls);
        EXPECT_EQ(0, g_deleteCalls);
    }
}

// The key path holds a base name of 225 characters, the message one of 192: longer ones are
// refused before anything is opened, and the longest accepted fills the message exactly.
TEST_F(DeleteServiceKeyForFileTest, BaseNamesTooLongForTheKeyPathOrTheMessageAreRefused)
{
    struct Case {
        const char* name;
        size_t length;
        int32_t expected;
    };
    const Case cases[] = {
        {"191", 191, 0},
        {"192: the message is full", 192, 0},
        {"193: one past the message", 193, -2},
        {"225: fits only the key path", 225, -2},
        {"226: fits neither", 226, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string base(c.length, 'L');
        std::string fileName = base + ".exe";
        PlantWormKey(base, fileName);
        g_openCalls = g_deleteCalls = 0;
        int32_t result = 1;
        std::string printed = Printed([&] { result = DeleteServiceKeyForFile(fileName.c_str()); });
        EXPECT_EQ(c.expected, result);
        if (c.expected == 0) {
            EXPECT_EQ(kHead + base + kTail, printed);
            EXPECT_LE(printed.size(), 259u);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\" + base));
        } else {
            EXPECT_EQ("", printed);
            EXPECT_EQ(0, g_openCalls);
            EXPECT_EQ(0, g_deleteCalls);
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kServices + "\\" + base));
            registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kServices + "\\" + base);
        }
    }
}

TEST_F(DeleteServiceKeyForFileTest, FileNameLongerThanAPathWithoutADotIsRefused)
{
    const std::string fileName = std::string(300, 'N') + ".exe";
    EXPECT_EQ(-2, DeleteServiceKeyForFile(fileName.c_str()));
    EXPECT_EQ(0, g_openCalls);
}

// The key named after the worm's file is deleted only when its ImagePath runs that file, in
// whatever form a service names its program; a same-named key of another program is kept
// with -7, one whose ImagePath cannot be read with -21; nothing is reported for either.
TEST_F(DeleteServiceKeyForFileTest, ImagePathDecidesWhetherTheKeyIsTheWorms)
{
    const std::string system = registry_test::SystemFolder();
    struct Case {
        const char* name;
        DWORD type;
        std::string imagePath;   // bytes as stored; "absent" plants no value
        int32_t expected;
    };
    const Case cases[] = {
        {"full path", REG_SZ, system + "alg.exe", 0},
        {"other letter case", REG_SZ, system + "ALG.EXE", 0},
        {"quoted with arguments", REG_SZ, "\"" + system + "alg.exe\" -k netsvcs", 0},
        {"quoted, folder with blanks", REG_SZ, "\"C:\\Program Files\\A b\\alg.exe\"", 0},
        {"%SystemRoot% form", REG_EXPAND_SZ, "%SystemRoot%\\system32\\alg.exe", 0},
        {"unquoted with arguments", REG_EXPAND_SZ, "%SystemRoot%\\system32\\alg.exe -k x", 0},
        {"unquoted, folder with blanks", REG_SZ, "C:\\Program Files\\alg.exe /s", 0},
        {"NT object path", REG_SZ, "\\??\\C:\\WINDOWS\\alg.exe", 0},
        {"relative to the system root", REG_EXPAND_SZ, "system32\\alg.exe", 0},
        {"bare file name", REG_SZ, "alg.exe", 0},
        {"slashes", REG_SZ, "C:/windows/alg.exe", 0},
        {"stored without a terminator", REG_BINARY, system + "alg.exe", 0},
        {"leading blanks", REG_SZ, "  " + system + "alg.exe", 0},
        {"the system's own program", REG_EXPAND_SZ, "%SystemRoot%\\System32\\svchost.exe -k x", -7},
        {"another file", REG_SZ, system + "alg2.exe", -7},
        {"a longer name ending alike", REG_SZ, system + "xalg.exe", -7},
        {"the name followed by more", REG_SZ, system + "alg.exe.bak", -7},
        {"the name only as an argument", REG_SZ,
         "\"" + system + "host.exe\" " + system + "alg.exe", -7},
        {"unquoted, the name only as an argument", REG_SZ,
         system + "host.exe " + system + "alg.exe", -7},
        {"the folder only", REG_SZ, system, -7},
        {"empty", REG_SZ, "", -7},
        {"absent", REG_SZ, "absent", -21},
        {"longer than 1024 bytes", REG_SZ, std::string(1100, 'x') + "\\alg.exe", -21},
    };
    const std::string key = kServices + "\\alg";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_deleteCalls = 0;
        CreateKey(HKEY_LOCAL_MACHINE, key + "\\Parameters");
        if (c.imagePath != "absent") {
            std::string bytes = c.imagePath;
            if (c.type != REG_BINARY) {
                bytes.push_back('\0');
            }
            SetValue(HKEY_LOCAL_MACHINE, key, "ImagePath", c.type, bytes);
        }
        int32_t result = 1;
        std::string printed = Printed([&] { result = DeleteServiceKeyForFile("alg.exe"); });
        EXPECT_EQ(c.expected, result);
        if (c.expected == 0) {
            EXPECT_EQ(kHead + "alg" + kTail, printed);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));
        } else {
            EXPECT_EQ("", printed);
            EXPECT_EQ(0, g_deleteCalls);
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key + "\\Parameters"));
        }
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, key);
    }
}

}  // namespace
