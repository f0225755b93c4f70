// Key and value deletion through SHLWAPI.DLL, bound at run time from the system folder, and
// through the registry functions alone when the library or its entry point is missing: the
// same keys and values go, and the same ones stay.
#include "registry/key_deletion.h"
#include "registry_fixture.h"
#include "support/binding_patch.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

namespace {

using registry_test::CreateKey;
using registry_test::KeyExists;
using registry_test::SetText;
using registry_test::ValueExists;

const std::string kTestKey = "SOFTWARE\\PurgekitKeyDeletionTest";

enum class Shell { kPresent, kNoLibrary, kNoEntryPoint };

struct ShellCase {
    const char* name;
    Shell shell;
};

const ShellCase kShellCases[] = {
    {"SHLWAPI.DLL present", Shell::kPresent},
    {"no SHLWAPI.DLL (Windows 95, NT 3.51)", Shell::kNoLibrary},
    {"SHLWAPI.DLL without the function (before 4.71)", Shell::kNoEntryPoint},
};

// Makes SHLWAPI unavailable the way the case says, for as long as the result lives.
struct ShellState {
    std::unique_ptr<ScopedLibraryRefusal> refusal;
    std::unique_ptr<ScopedEntryPointPatch> missing;
};

ShellState MakeShellState(Shell shell, const char* function)
{
    ShellState state;
    if (shell == Shell::kNoLibrary) {
        state.refusal = std::make_unique<ScopedLibraryRefusal>("SHLWAPI.DLL");
        EXPECT_TRUE(state.refusal->applied());
    } else if (shell == Shell::kNoEntryPoint) {
        state.missing = std::make_unique<ScopedEntryPointPatch>("shlwapi.dll", function, nullptr);
        EXPECT_TRUE(state.missing->applied());
    }
    return state;
}

// A tree three levels deep with values at every level, and siblings.
void PlantTree(const std::string& top)
{
    SetText(HKEY_LOCAL_MACHINE, top, "ImagePath", "C:\\x.exe");
    SetText(HKEY_LOCAL_MACHINE, top + "\\Enum", "0", "Root\\LEGACY");
    SetText(HKEY_LOCAL_MACHINE, top + "\\Enum\\Deeper", "Count", "1");
    CreateKey(HKEY_LOCAL_MACHINE, top + "\\Enum\\Deeper\\Deepest");
    SetText(HKEY_LOCAL_MACHINE, top + "\\Parameters", "ServiceDll", "x.dll");
    CreateKey(HKEY_LOCAL_MACHINE, top + "\\Security");
}

class KeyDeletionTest : public testing::Test {
protected:
    void SetUp() override { registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey); }
    void TearDown() override { registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey); }
};

TEST_F(KeyDeletionTest, KeyTreeIsDeletedWholeWithOrWithoutShlwapi)
{
    for (const ShellCase& c : kShellCases) {
        SCOPED_TRACE(c.name);
        const std::string top = kTestKey + "\\Svc";
        PlantTree(top);
        CreateKey(HKEY_LOCAL_MACHINE, kTestKey + "\\Svc2\\Enum");   // a neighbour named alike
        {
            ShellState state = MakeShellState(c.shell, "SHDeleteKeyA");
            EXPECT_EQ(ERROR_SUCCESS, DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, top.c_str()));
        }
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, top));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey + "\\Svc2\\Enum"));
        EXPECT_NE(ERROR_SUCCESS, DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, top.c_str()))
            << "a key that is not there";
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
    }
}

TEST_F(KeyDeletionTest, ValueIsDeletedAloneWithOrWithoutShlwapi)
{
    for (const ShellCase& c : kShellCases) {
        SCOPED_TRACE(c.name);
        SetText(HKEY_LOCAL_MACHINE, kTestKey, "krn132", "C:\\krn132.exe");
        SetText(HKEY_LOCAL_MACHINE, kTestKey, "krn1320", "C:\\krn132.exe");
        {
            ShellState state = MakeShellState(c.shell, "SHDeleteValueA");
            const char* key = kTestKey.c_str();
            EXPECT_EQ(ERROR_SUCCESS, DeleteKeyValue(HKEY_LOCAL_MACHINE, key, "krn132"));
            EXPECT_NE(ERROR_SUCCESS, DeleteKeyValue(HKEY_LOCAL_MACHINE, key, "krn132"))
                << "a value that is not there";
            EXPECT_NE(ERROR_SUCCESS,
                      DeleteKeyValue(HKEY_LOCAL_MACHINE, (kTestKey + "\\None").c_str(), "krn132"));
        }
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "krn132"));
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTestKey, "krn1320"));
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey);
    }
}

// SHLWAPI.DLL is asked for by its full path in the system folder only, never by its bare name,
// which would find a file of that name in the program's folder first.
TEST_F(KeyDeletionTest, ShlwapiIsLoadedFromTheSystemFolderOnly)
{
    ScopedLibraryRefusal record("NONE.DLL");
    ASSERT_TRUE(record.applied());
    CreateKey(HKEY_LOCAL_MACHINE, kTestKey + "\\Svc");
    SetText(HKEY_LOCAL_MACHINE, kTestKey, "v", "x");
    DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, (kTestKey + "\\Svc").c_str());
    DeleteKeyValue(HKEY_LOCAL_MACHINE, kTestKey.c_str(), "v");
    const std::string path = registry_test::SystemFolder() + "SHLWAPI.DLL";
    EXPECT_EQ((std::vector<std::string>{path, path}), record.asked());
}

// Without SHLWAPI a subkey that cannot be deleted keeps its parent: the deletion fails rather
// than report a key as gone that is still there.
LONG (WINAPI* g_realDeleteKey)(HKEY, const char*);
LONG WINAPI RefusingDeeperRegDeleteKeyA(HKEY parent, const char* name)
{
    return lstrcmpiA(name, "Deeper") == 0 ? ERROR_ACCESS_DENIED : g_realDeleteKey(parent, name);
}

TEST_F(KeyDeletionTest, SubkeyThatStaysKeepsTheKeyAndFailsTheDeletion)
{
    const std::string top = kTestKey + "\\Svc";
    PlantTree(top);
    ScopedLibraryRefusal noShell("SHLWAPI.DLL");
    ScopedImportPatch refuse("advapi32.dll", "RegDeleteKeyA",
                             reinterpret_cast<void*>(&RefusingDeeperRegDeleteKeyA));
    ASSERT_TRUE(noShell.applied());
    ASSERT_TRUE(refuse.applied());
    g_realDeleteKey = refuse.original<decltype(g_realDeleteKey)>();
    EXPECT_NE(ERROR_SUCCESS, DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, top.c_str()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, top + "\\Enum\\Deeper"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, top + "\\Enum\\Deeper\\Deepest"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, top + "\\Parameters"));
}

}  // namespace
