#include "detect/pe_image.h"
#include "registry/registry.h"
#include "registry_fixture.h"
#include "support/binding_patch.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using registry_test::CreateKey;
using registry_test::KeyExists;
using registry_test::Printed;
using registry_test::SetText;
using registry_test::SetValue;

const std::string kServices = registry_test::kServicesKey;
const std::string kHead = "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
const std::string kTail = "\\ deleted";

enum class Content { kWorm, kClean };

// A PE file at `path`: one that carries variant E's patterns, or one that carries none.
void PlantProgram(const std::string& path, Content content)
{
    pe_image::ImageLayout layout = content == Content::kWorm
                                       ? pe_image::ImageCarrying(SignatureSetE(), false, 0x8000)
                                       : pe_image::ImageLayout();
    ASSERT_TRUE(pe_image::WriteBytes(path, pe_image::BuildImage(layout))) << path;
}

// A service key whose ImagePath runs `fileName` from the system folder, where a file carrying
// variant E's patterns lies, as the worm's key does.
void PlantWormKey(const std::string& keyName, const std::string& fileName)
{
    const std::string path = registry_test::SystemFolder() + fileName;
    PlantProgram(path, Content::kWorm);
    SetText(HKEY_LOCAL_MACHINE, kServices + "\\" + keyName, "ImagePath", path);
}

std::string WindowsFolder()
{
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, sizeof(directory));
    return std::string(directory) + "\\";
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
        std::string printed =
            Printed([&] { result = DeleteServiceKeyForFile(c.fileName.c_str()); });
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

// The key named after the worm's file is deleted only when the program its ImagePath starts,
// in whatever form a service names it, carries variant E's patterns: the worm's own key, or a
// key of that name whose program is a dormant copy. A namesake service of a clean program, or
// one whose program cannot be found, opened or named within a path, is kept with -7; one whose
// ImagePath cannot be read with -21; nothing is reported for either.
TEST_F(DeleteServiceKeyForFileTest, KeyGoesOnlyWhenItsProgramCarriesVariantE)
{
    const std::string system = registry_test::SystemFolder();
    const std::string windows = WindowsFolder();
    std::string windowsSlashes = windows + "alg.exe";
    for (char& c : windowsSlashes) {
        c = c == '\\' ? '/' : c;
    }
    const std::string longVariable(300, 'v');
    ASSERT_TRUE(SetEnvironmentVariableA("PURGEKIT_LONG", longVariable.c_str()));
    ASSERT_TRUE(CreateDirectoryA("C:\\Program Files\\A b", nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    struct Planted {
        std::string path;
        Content content;
    };
    struct Case {
        const char* name;
        DWORD type;
        std::string imagePath;   // bytes as stored; "absent" plants no value
        std::vector<Planted> files;
        bool heldOpen;           // the first file is held open without any sharing
        int32_t expected;
    };
    const Planted wormInSystem = {system + "alg.exe", Content::kWorm};
    const Case cases[] = {
        {"full path", REG_SZ, system + "alg.exe", {wormInSystem}, false, 0},
        {"other letter case", REG_SZ, system + "ALG.EXE", {wormInSystem}, false, 0},
        {"quoted with arguments", REG_SZ, "\"" + system + "alg.exe\" -k netsvcs", {wormInSystem},
         false, 0},
        {"quoted, folder with blanks", REG_SZ, "\"C:\\Program Files\\A b\\alg.exe\"",
         {{"C:\\Program Files\\A b\\alg.exe", Content::kWorm}}, false, 0},
        {"%SystemRoot% form", REG_EXPAND_SZ, "%SystemRoot%\\system32\\alg.exe", {wormInSystem},
         false, 0},
        {"unquoted with arguments", REG_EXPAND_SZ, "%SystemRoot%\\system32\\alg.exe -k x",
         {wormInSystem}, false, 0},
        {"unquoted, folder with blanks", REG_SZ, "C:\\Program Files\\alg.exe /s",
         {{"C:\\Program Files\\alg.exe", Content::kWorm}}, false, 0},
        {"NT object path", REG_SZ, "\\??\\" + windows + "alg.exe",
         {{windows + "alg.exe", Content::kWorm}}, false, 0},
        {"\\SystemRoot\\ form", REG_EXPAND_SZ, "\\SystemRoot\\System32\\alg.exe", {wormInSystem},
         false, 0},
        {"relative to the Windows folder", REG_EXPAND_SZ, "system32\\alg.exe", {wormInSystem},
         false, 0},
        {"bare file name: the system folder", REG_SZ, "alg.exe", {wormInSystem}, false, 0},
        {"slashes", REG_SZ, windowsSlashes, {{windows + "alg.exe", Content::kWorm}}, false, 0},
        {"stored without a terminator", REG_BINARY, system + "alg.exe", {wormInSystem}, false, 0},
        {"leading blanks", REG_SZ, "  " + system + "alg.exe", {wormInSystem}, false, 0},
        {"a dormant copy under another name", REG_SZ, system + "alghost.exe",
         {{system + "alghost.exe", Content::kWorm}}, false, 0},
        {"namesake: a clean program of that name", REG_EXPAND_SZ,
         "%SystemRoot%\\System32\\alg.exe", {{system + "alg.exe", Content::kClean}}, false, -7},
        {"the program is missing", REG_SZ, system + "alg.exe", {}, false, -7},
        {"the program cannot be opened", REG_SZ, system + "alg.exe", {wormInSystem}, true, -7},
        {"the worm only as an argument", REG_SZ,
         "\"" + system + "host.exe\" " + system + "alg.exe",
         {{system + "host.exe", Content::kClean}, wormInSystem}, false, -7},
        {"unquoted, the worm only as an argument", REG_SZ,
         system + "host.exe " + system + "alg.exe",
         {{system + "host.exe", Content::kClean}, wormInSystem}, false, -7},
        {"a bare name is not looked for in the Windows folder", REG_SZ, "alg.exe",
         {{windows + "alg.exe", Content::kWorm}}, false, -7},
        {"the folder only", REG_SZ, system, {}, false, -7},
        {"empty", REG_SZ, "", {}, false, -7},
        {"expanded past a path", REG_EXPAND_SZ, "%PURGEKIT_LONG%\\alg.exe", {wormInSystem}, false,
         -7},
        {"a program path longer than a path", REG_SZ, "C:\\" + std::string(300, 'd') + "\\alg.exe",
         {}, false, -7},
        {"below the Windows folder, past a path", REG_SZ, std::string(250, 'r') + "\\alg.exe", {},
         false, -7},
        {"absent", REG_SZ, "absent", {wormInSystem}, false, -21},
        {"longer than 1024 bytes", REG_SZ, std::string(1100, 'x') + "\\alg.exe", {wormInSystem},
         false, -21},
    };
    const std::string key = kServices + "\\alg";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_deleteCalls = 0;
        for (const Planted& file : c.files) {
            PlantProgram(file.path, file.content);
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.heldOpen) {
            held = CreateFileA(c.files[0].path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
        }
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
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
        }
        for (const Planted& file : c.files) {
            EXPECT_TRUE(DeleteFileA(file.path.c_str())) << file.path << " was changed or taken";
        }
        registry_test::DeleteTree(HKEY_LOCAL_MACHINE, key);
    }
    SetEnvironmentVariableA("PURGEKIT_LONG", nullptr);
}

}  // namespace
