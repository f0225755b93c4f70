#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using registry_test::SetText;
using registry_test::SetValue;

const std::string kTestKey = "SOFTWARE\\PurgekitTest\\Find";
const std::string kWorm = "C:\\windows\\system32\\krn132.exe";

std::string Terminated(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

// A 1025-byte name buffer: 1024 for the operation, one canary byte behind it.
struct NameBuffer {
    NameBuffer() { memset(bytes, 0xBD, sizeof(bytes)); }
    bool untouched() const
    {
        for (unsigned char b : bytes) {
            if (b != 0xBD) {
                return false;
            }
        }
        return true;
    }
    unsigned char bytes[kRegistryTextSize + 1];
    char* text() { return reinterpret_cast<char*>(bytes); }
};

// ---- RegEnumValueA watched, and failing at chosen indices ---------------------------------

decltype(&RegEnumValueA) g_realEnum;
std::vector<DWORD> g_enumIndices;
std::vector<DWORD> g_nameOffered;
std::vector<DWORD> g_dataOffered;
DWORD g_failIndex;
LONG g_failStatus;

LONG WINAPI WatchRegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLength,
                               DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize)
{
    g_enumIndices.push_back(index);
    g_nameOffered.push_back(nameLength != nullptr ? *nameLength : 0);
    g_dataOffered.push_back(dataSize != nullptr ? *dataSize : 0);
    if (index == g_failIndex) {
        return g_failStatus;
    }
    return g_realEnum(key, index, name, nameLength, reserved, type, data, dataSize);
}

int g_openCalls;
int g_closeCalls;
decltype(&RegOpenKeyA) g_realOpen;
decltype(&RegCloseKey) g_realClose;
LONG WINAPI CountRegOpenKeyA(HKEY root, const char* path, HKEY* key)
{
    LONG status = g_realOpen(root, path, key);
    g_openCalls += status == ERROR_SUCCESS;
    return status;
}
LONG WINAPI CountRegCloseKey(HKEY key)
{
    ++g_closeCalls;
    return g_realClose(key);
}

class FindValueByDataTest : public testing::Test {
protected:
    void SetUp() override { registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey); }
    void TearDown() override { registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey); }

    static int32_t Find(const std::string& data, uint32_t* index, NameBuffer* name)
    {
        return FindValueByData(HKEY_LOCAL_MACHINE, kTestKey.c_str(), data.c_str(), index,
                               name->text());
    }
};

// One value per row: is its data the searched text?
TEST_F(FindValueByDataTest, WholeTextIsComparedWithoutRegardToCaseOrType)
{
    const std::string list1024(1024, 'Q');
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        std::string searched;
        int32_t expected;
    };
    const Case cases[] = {
        {"same text", REG_SZ, Terminated(kWorm), kWorm, 0},
        {"other letter case", REG_SZ, Terminated("c:\\WINDOWS\\System32\\KRN132.EXE"), kWorm, 0},
        {"quoted", REG_SZ, Terminated("\"" + kWorm + "\""), kWorm, -23},
        {"with an argument", REG_SZ, Terminated(kWorm + " /s"), kWorm, -23},
        {"a list of libraries", REG_SZ, Terminated("msvcrt.dll Wqk.dll"), "Wqk.dll", -23},
        {"exactly the library", REG_SZ, Terminated("Wqk.dll"), "Wqk.dll", 0},
        {"shorter text", REG_SZ, Terminated("C:\\windows\\system32\\krn132"), kWorm, -23},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, Terminated(kWorm), kWorm, 0},
        {"REG_BINARY spelling it, no terminator", REG_BINARY, kWorm, kWorm, 0},
        {"REG_MULTI_SZ: text ends at the first zero", REG_MULTI_SZ,
         kWorm + std::string(1, '\0') + "other" + std::string(2, '\0'), kWorm, 0},
        {"REG_DWORD whose bytes spell AAA", REG_DWORD, std::string("AAA\0", 4), "aaa", 0},
        {"1023 letters and terminator fit", REG_SZ, Terminated(std::string(1023, 'Q')),
         std::string(1023, 'Q'), 0},
        {"binary filling the whole buffer is taken whole", REG_BINARY, list1024, list1024, 0},
        {"binary filling the whole buffer is not cut short", REG_BINARY, list1024,
         std::string(1023, 'Q'), -23},
        {"binary: the path and more to the end of the buffer", REG_BINARY,
         kWorm + std::string(1024 - kWorm.size(), 'Q'), kWorm, -23},
        {"empty data", REG_SZ, std::string(1, '\0'), kWorm, -23},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        SetValue(HKEY_LOCAL_MACHINE, kTestKey, "Value", c.type, c.bytes);
        uint32_t index = 0;
        NameBuffer name;
        EXPECT_EQ(c.expected, Find(c.searched, &index, &name));
        if (c.expected == 0) {
            EXPECT_STREQ("Value", name.text());
            EXPECT_EQ(1u, index);
        } else {
            EXPECT_TRUE(name.untouched());
            EXPECT_EQ(2u, index) << "one value read, one read past the end";
        }
    }
}

// The mended search: values too large for the buffers are stepped over.
TEST_F(FindValueByDataTest, ValueThatDoesNotFitIsSteppedOver)
{
    struct Case {
        const char* name;
        std::string bigName;
        std::string bigData;
    };
    const Case cases[] = {
        {"data of 1025 bytes", "A_big", Terminated(std::string(1024, 'D'))},
        {"data of 5000 bytes", "A_big", Terminated(std::string(4999, 'D'))},
        {"name of 1024 characters", std::string(1024, 'A'), Terminated("small")},
        {"name of 1100 characters", std::string(1100, 'A'), Terminated("small")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
        SetValue(HKEY_LOCAL_MACHINE, kTestKey, c.bigName, REG_SZ, c.bigData);
        SetText(HKEY_LOCAL_MACHINE, kTestKey, "B_worm", kWorm);
        uint32_t index = 0;
        NameBuffer name;
        EXPECT_EQ(0, Find(kWorm, &index, &name));
        EXPECT_STREQ("B_worm", name.text());
        EXPECT_EQ(2u, index);
    }
}

TEST_F(FindValueByDataTest, NameOfTheLongestReadableLengthIsCopiedWithinTheBuffer)
{
    const std::string longName(1023, 'N');
    SetText(HKEY_LOCAL_MACHINE, kTestKey, longName, kWorm);
    uint32_t index = 0;
    NameBuffer name;
    ASSERT_EQ(0, Find(kWorm, &index, &name));
    EXPECT_EQ(longName, std::string(name.text()));
    EXPECT_EQ(0xBD, name.bytes[kRegistryTextSize]) << "written past the 1024-byte buffer";
}

TEST_F(FindValueByDataTest, SearchStartsAtTheIndexAndLeavesItAfterTheMatch)
{
    // Wine enumerates by name, ignoring case: a, B, c, d.
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "c", kWorm);
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "a", kWorm);
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "d", "other");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "B", "other");
    uint32_t index = 0;
    NameBuffer first;
    ASSERT_EQ(0, Find(kWorm, &index, &first));
    EXPECT_STREQ("a", first.text());
    EXPECT_EQ(1u, index);
    NameBuffer second;
    ASSERT_EQ(0, Find(kWorm, &index, &second));
    EXPECT_STREQ("c", second.text());
    EXPECT_EQ(3u, index);
    NameBuffer none;
    EXPECT_EQ(-23, Find(kWorm, &index, &none));
    EXPECT_EQ(5u, index);
    EXPECT_TRUE(none.untouched());
}

TEST_F(FindValueByDataTest, AnyOtherReadErrorEndsTheSearch)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "a", "other");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "b", kWorm);
    struct Case {
        const char* name;
        LONG status;
        int32_t expected;
        std::vector<DWORD> indices;
    };
    const Case cases[] = {
        {"ERROR_MORE_DATA at the first value: stepped over", ERROR_MORE_DATA, 0, {0, 1}},
        {"ERROR_ACCESS_DENIED at the first value: the end", ERROR_ACCESS_DENIED, -23, {0}},
        {"ERROR_INVALID_PARAMETER at the first value: the end", ERROR_INVALID_PARAMETER, -23, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedImportPatch enumerate("advapi32.dll", "RegEnumValueA",
                                    reinterpret_cast<void*>(&WatchRegEnumValueA));
        ASSERT_TRUE(enumerate.applied());
        g_realEnum = enumerate.original<decltype(&RegEnumValueA)>();
        g_enumIndices.clear();
        g_nameOffered.clear();
        g_dataOffered.clear();
        g_failIndex = 0;
        g_failStatus = c.status;
        uint32_t index = 0;
        NameBuffer name;
        EXPECT_EQ(c.expected, Find(kWorm, &index, &name));
        EXPECT_EQ(c.indices, g_enumIndices);
        for (size_t i = 0; i < g_nameOffered.size(); ++i) {
            EXPECT_EQ(1024u, g_nameOffered[i]) << "read " << i;
            EXPECT_EQ(1024u, g_dataOffered[i]) << "read " << i;
        }
    }
}

TEST_F(FindValueByDataTest, KeyThatCannotBeOpenedGivesMinusTwentyAndTouchesNothing)
{
    uint32_t index = 7;
    NameBuffer name;
    EXPECT_EQ(-20, Find(kWorm, &index, &name));
    EXPECT_EQ(7u, index);
    EXPECT_TRUE(name.untouched());
    EXPECT_EQ(-20, FindValueByData(nullptr, "SOFTWARE", kWorm.c_str(), &index, name.text()));
}

TEST_F(FindValueByDataTest, MissingArgumentsAreRefused)
{
    uint32_t index = 0;
    NameBuffer name;
    EXPECT_EQ(-2, FindValueByData(HKEY_LOCAL_MACHINE, nullptr, "x", &index, name.text()));
    EXPECT_EQ(-2, FindValueByData(HKEY_LOCAL_MACHINE, "SOFTWARE", nullptr, &index, name.text()));
    EXPECT_EQ(-2, FindValueByData(HKEY_LOCAL_MACHINE, "SOFTWARE", "x", nullptr, name.text()));
    EXPECT_EQ(-2, FindValueByData(HKEY_LOCAL_MACHINE, "SOFTWARE", "x", &index, nullptr));
    EXPECT_EQ(0u, index);
    EXPECT_TRUE(name.untouched());
}

TEST_F(FindValueByDataTest, TheKeyItOpensIsClosedOnEveryPath)
{
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "a", kWorm);
    ScopedImportPatch open("advapi32.dll", "RegOpenKeyA", reinterpret_cast<void*>(&CountRegOpenKeyA));
    ScopedImportPatch close("advapi32.dll", "RegCloseKey", reinterpret_cast<void*>(&CountRegCloseKey));
    ASSERT_TRUE(open.applied());
    ASSERT_TRUE(close.applied());
    g_realOpen = open.original<decltype(&RegOpenKeyA)>();
    g_realClose = close.original<decltype(&RegCloseKey)>();
    g_openCalls = g_closeCalls = 0;
    uint32_t index = 0;
    NameBuffer match, none;
    EXPECT_EQ(0, Find(kWorm, &index, &match));
    EXPECT_EQ(-23, Find(kWorm, &index, &none));
    EXPECT_EQ(2, g_openCalls);
    EXPECT_EQ(2, g_closeCalls);
}

}  // namespace
