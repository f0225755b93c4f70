#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/binding_patch.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using registry_test::SetText;
using registry_test::ValueExists;

const std::string kTestKey = "SOFTWARE\\PurgekitTest\\Delete";
const std::string kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";
const std::string kWindowsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

int g_openCalls;
decltype(&RegOpenKeyA) g_realOpen;
LONG WINAPI CountRegOpenKeyA(HKEY root, const char* path, HKEY* key)
{
    ++g_openCalls;
    return g_realOpen(root, path, key);
}

HKEY g_deleteRoot;
std::string g_deleteSubKey;
std::string g_deleteName;
int g_deleteCalls;
LONG WINAPI RefusingSHDeleteValueA(HKEY root, const char* subKey, const char* name)
{
    ++g_deleteCalls;
    g_deleteRoot = root;
    g_deleteSubKey = subKey != nullptr ? subKey : "(null)";
    g_deleteName = name != nullptr ? name : "(null)";
    return ERROR_ACCESS_DENIED;
}

class DeleteValueByDataTest : public testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        registry_test::DeleteTree(HKEY_CURRENT_USER, kTestKey);
    }
    static std::string Worm() { return registry_test::SystemFolder() + "krn132.exe"; }
};

// The arguments are tested before the root index is looked at, and nothing is opened.
TEST_F(DeleteValueByDataTest, ArgumentsAreCheckedBeforeTheRootIndex)
{
    struct Case {
        const char* name;
        int32_t root;
        const char* subKey;
        const char* data;
        int32_t expected;
    };
    const Case cases[] = {
        {"empty data, root 0", 0, "SOFTWARE", "", -2},
        {"missing data, root 8", 8, "SOFTWARE", nullptr, -2},
        {"empty subkey, root 0", 0, "", "x", -2},
        {"missing subkey, root 5", 5, nullptr, "x", -2},
        {"both missing, root -1", -1, nullptr, nullptr, -2},
        {"empty data, root 5", 5, "SOFTWARE", "", -2},
        {"root 0", 0, "SOFTWARE", "x", -7},
        {"root 8", 8, "SOFTWARE", "x", -7},
        {"root -1", -1, "SOFTWARE", "x", -7},
    };
    ScopedImportPatch open("advapi32.dll", "RegOpenKeyA", reinterpret_cast<void*>(&CountRegOpenKeyA));
    ASSERT_TRUE(open.applied());
    g_realOpen = open.original<decltype(&RegOpenKeyA)>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_openCalls = 0;
        EXPECT_EQ(c.expected, DeleteValueByData(c.root, c.subKey, c.data));
        EXPECT_EQ(0, g_openCalls);
    }
}

TEST_F(DeleteValueByDataTest, MatchingValueIsDeletedWhateverItsLetterCase)
{
    struct Case {
        const char* name;
        std::string data;
        int32_t expected;
    };
    const std::string worm = Worm();
    std::string upper = worm;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    const Case cases[] = {
        {"as built", worm, 0},
        {"upper case", upper, 0},
        {"quoted", "\"" + worm + "\"", 1},
        {"with an argument", worm + " -run", 1},
        {"another file", registry_test::SystemFolder() + "krn133.exe", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear();
        SetText(HKEY_LOCAL_MACHINE, kTestKey, "krn132", c.data);
        SetText(HKEY_LOCAL_MACHINE, kTestKey, "Other", "C:\\other.exe");
        EXPECT_EQ(c.expected, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
        EXPECT_EQ(c.expected != 0, ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "krn132"));
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "Other"));
    }
}

TEST_F(DeleteValueByDataTest, OneValuePerCallInEnumerationOrder)
{
    const std::string worm = Worm();
    // Wine enumerates by name ignoring case: "alpha" comes before "Beta".
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "Beta", worm);
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "alpha", worm);
    EXPECT_EQ(0, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "alpha"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "Beta"));
    EXPECT_EQ(0, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "Beta"));
    EXPECT_EQ(1, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
}

TEST_F(DeleteValueByDataTest, MissingKeyGivesOne)
{
    EXPECT_EQ(1, DeleteValueByData(5, "SOFTWARE\\PurgekitTest\\NoSuchKey", "x"));
}

TEST_F(DeleteValueByDataTest, OversizedValueBeforeTheWormsDoesNotHideIt)
{
    const std::string worm = Worm();
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "A_big", std::string(2000, 'D'));
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "B_worm", worm);
    EXPECT_EQ(0, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "B_worm"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "A_big"));
}

TEST_F(DeleteValueByDataTest, RefusedDeletionStillGivesZero)
{
    const std::string worm = Worm();
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "krn132", worm);
    ScopedEntryPointPatch refuse("shlwapi.dll", "SHDeleteValueA",
                                 reinterpret_cast<void*>(&RefusingSHDeleteValueA));
    ASSERT_TRUE(refuse.applied());
    g_deleteCalls = 0;
    EXPECT_EQ(0, DeleteValueByData(5, kTestKey.c_str(), worm.c_str()));
    EXPECT_EQ(1, g_deleteCalls);
    EXPECT_EQ(HKEY_LOCAL_MACHINE, g_deleteRoot);
    EXPECT_EQ(kTestKey, g_deleteSubKey);
    EXPECT_EQ("krn132", g_deleteName);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "krn132"));
}

TEST_F(DeleteValueByDataTest, OtherRootIndicesSelectTheirRoot)
{
    SetText(HKEY_CURRENT_USER, kTestKey, "user", "C:\\x.exe");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "machine", "C:\\x.exe");
    EXPECT_EQ(0, DeleteValueByData(3, kTestKey.c_str(), "C:\\x.exe"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kTestKey, "user"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "machine"));
}

TEST_F(DeleteValueByDataTest, TheRunAndWindowsKeysOfTheRun)
{
    const std::string worm = Worm();
    SetText(HKEY_LOCAL_MACHINE, kRunKey, "krn132", worm);
    SetText(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs", "Wqk.dll");
    SetText(HKEY_LOCAL_MACHINE, kWindowsKey, "Other", "msvcrt.dll Wqk.dll");
    EXPECT_EQ(0, DeleteValueByData(5, kRunKey.c_str(), worm.c_str()));
    EXPECT_EQ(0, DeleteValueByData(5, kWindowsKey.c_str(), "Wqk.dll"));
    EXPECT_EQ(1, DeleteValueByData(5, kWindowsKey.c_str(), "Wqk.dll"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "krn132"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kWindowsKey, "Other"));
    registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kWindowsKey);
}

}  // namespace
