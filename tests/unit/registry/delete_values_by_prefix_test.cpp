#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using registry_test::SetText;
using registry_test::ValueExists;

const std::string kTestKey = "SOFTWARE\\PurgekitTest\\Prefix";

// The caller's 256-byte buffer for the last deleted name, with a canary byte behind it.
struct LastDeleted {
    LastDeleted() { memset(bytes, 0xBD, sizeof(bytes)); }
    bool untouched() const
    {
        return std::all_of(std::begin(bytes), std::end(bytes),
                           [](unsigned char b) { return b == 0xBD; });
    }
    unsigned char bytes[kPrefixNameSize + 1];
    char* text() { return reinterpret_cast<char*>(bytes); }
};

std::vector<std::string> ValueNames(const std::string& path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        char name[2048] = {};
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.push_back(name);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

// ---- watched calls ------------------------------------------------------------------------

decltype(&RegEnumValueA) g_realEnum;
std::vector<DWORD> g_enumIndices;
LONG WINAPI WatchRegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLength,
                               DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize)
{
    g_enumIndices.push_back(index);
    return g_realEnum(key, index, name, nameLength, reserved, type, data, dataSize);
}

std::vector<std::string> g_deletedNames;
LONG WINAPI RefusingRegDeleteValueA(HKEY, const char* name)
{
    g_deletedNames.push_back(name != nullptr ? name : "(null)");
    return ERROR_ACCESS_DENIED;
}

// Fills the name buffer with a readable-looking name, then fails.
LONG WINAPI FailingRegEnumValueA(HKEY, DWORD, char* name, DWORD* nameLength, DWORD*, DWORD*,
                                 BYTE*, DWORD*)
{
    if (name != nullptr && nameLength != nullptr && *nameLength > 5) {
        strcpy(name, "WINKX");
    }
    return ERROR_MORE_DATA;
}

class DeleteValuesByPrefixTest : public testing::Test {
protected:
    void SetUp() override
    {
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        registry_test::CreateKey(HKEY_LOCAL_MACHINE, kTestKey);
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0,
                                               KEY_ALL_ACCESS, &key_));
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
    }
    HKEY key_ = nullptr;
};

TEST_F(DeleteValuesByPrefixTest, NamesBeginningWithWinkInAnyCaseGoAndNoOthers)
{
    const char* planted[] = {"WINK1", "wink", "WiNkXyz", "xWINK", "WIN", "", "Other",
                             "winkle", "WIN K", "aWINKb", "Wink_last"};
    for (const char* name : planted) {
        SetText(HKEY_LOCAL_MACHINE, kTestKey, name, "C:\\some.exe");
    }
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    const std::vector<std::string> expected = {"", "Other", "WIN", "WIN K", "aWINKb", "xWINK"};
    EXPECT_EQ(expected, ValueNames(kTestKey));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "")) << "the default value stays";
    // The value deleted last is one of the qualifying ones, upper-cased.
    std::string lastName = last.text();
    const char* upperNames[] = {"WINK1", "WINK", "WINKXYZ", "WINKLE", "WINK_LAST"};
    EXPECT_TRUE(std::find(std::begin(upperNames), std::end(upperNames), lastName) !=
                std::end(upperNames))
        << lastName;
    EXPECT_EQ(0xBD, last.bytes[kPrefixNameSize]);
}

TEST_F(DeleteValuesByPrefixTest, EveryValuePresentAtTheStartIsExaminedOnce)
{
    // Adjacent qualifying values in Wine's order (by name, case ignored): a, WINK1, wink2,
    // WiNk3, z. Deleting one must not let the next slip past.
    const char* planted[] = {"a", "WINK1", "wink2", "WiNk3", "z"};
    for (const char* name : planted) {
        SetText(HKEY_LOCAL_MACHINE, kTestKey, name, "x");
    }
    ScopedImportPatch enumerate("advapi32.dll", "RegEnumValueA",
                                reinterpret_cast<void*>(&WatchRegEnumValueA));
    ASSERT_TRUE(enumerate.applied());
    g_realEnum = enumerate.original<decltype(&RegEnumValueA)>();
    g_enumIndices.clear();
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    std::vector<DWORD> seen = g_enumIndices;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<DWORD>{0, 1, 2, 3, 4}), seen) << "each index read exactly once";
    EXPECT_EQ((std::vector<std::string>{"a", "z"}), ValueNames(kTestKey));
}

TEST_F(DeleteValuesByPrefixTest, LastDeletedHoldsTheUpperCasedName)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "WiNkXyz", "x");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "keep", "x");
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    EXPECT_STREQ("WINKXYZ", last.text());
    EXPECT_EQ((std::vector<std::string>{"keep"}), ValueNames(kTestKey));
}

TEST_F(DeleteValuesByPrefixTest, NothingQualifiesOrNoValuesLeavesTheBufferAlone)
{
    LastDeleted empty;
    DeleteValuesByPrefix(key_, "WINK", empty.text());
    EXPECT_TRUE(empty.untouched());

    SetText(HKEY_LOCAL_MACHINE, kTestKey, "xWINK", "x");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "WIN", "x");
    LastDeleted none;
    DeleteValuesByPrefix(key_, "WINK", none.text());
    EXPECT_TRUE(none.untouched());
    EXPECT_EQ((std::vector<std::string>{"WIN", "xWINK"}), ValueNames(kTestKey));
}

TEST_F(DeleteValuesByPrefixTest, LowerCasePrefixNeverMatches)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "wink", "x");
    LastDeleted last;
    DeleteValuesByPrefix(key_, "wink", last.text());
    EXPECT_TRUE(last.untouched());
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "wink"));
}

TEST_F(DeleteValuesByPrefixTest, NameTooLongToReadNeverQualifies)
{
    const std::string longName = "WINK" + std::string(300, 'z');
    SetText(HKEY_LOCAL_MACHINE, kTestKey, longName, "x");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "WINK" + std::string(251, 'y'), "x");   // 255: read
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    EXPECT_EQ((std::vector<std::string>{longName}), ValueNames(kTestKey));
    EXPECT_EQ("WINK" + std::string(251, 'Y'), std::string(last.text()));
    EXPECT_EQ(0xBD, last.bytes[kPrefixNameSize]);
}

TEST_F(DeleteValuesByPrefixTest, FailedReadKeepsAnEmptyNameWhateverTheBufferHolds)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "WINK1", "x");
    {
        ScopedImportPatch enumerate("advapi32.dll", "RegEnumValueA",
                                    reinterpret_cast<void*>(&FailingRegEnumValueA));
        ASSERT_TRUE(enumerate.applied());
        LastDeleted last;
        DeleteValuesByPrefix(key_, "WINK", last.text());
        EXPECT_TRUE(last.untouched());
    }
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "WINK1"));
}

TEST_F(DeleteValuesByPrefixTest, RefusedDeletionStillUpdatesTheLastName)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "winkA", "x");
    ScopedImportPatch refuse("advapi32.dll", "RegDeleteValueA",
                             reinterpret_cast<void*>(&RefusingRegDeleteValueA));
    ASSERT_TRUE(refuse.applied());
    g_deletedNames.clear();
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    EXPECT_EQ((std::vector<std::string>{"WINKA"}), g_deletedNames) << "deleted by its upper-cased name";
    EXPECT_STREQ("WINKA", last.text());
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "winkA"));
}

TEST_F(DeleteValuesByPrefixTest, KeyThatCannotBeQueriedIsLeftAlone)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "WINK1", "x");
    LastDeleted last;
    DeleteValuesByPrefix(nullptr, "WINK", last.text());
    DeleteValuesByPrefix(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7BAD0)), "WINK",
                         last.text());
    EXPECT_TRUE(last.untouched());
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "WINK1"));
}

TEST_F(DeleteValuesByPrefixTest, CharactersOfTheAnsiCodePageAreUpperCased)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the probe name is written for code page 1252, this is " << GetACP();
    }
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "wink\xE9t\xE9", "x");   // winkété
    LastDeleted last;
    DeleteValuesByPrefix(key_, "WINK", last.text());
    EXPECT_STREQ("WINK\xC9T\xC9", last.text());
    EXPECT_TRUE(ValueNames(kTestKey).empty());
}

}  // namespace
