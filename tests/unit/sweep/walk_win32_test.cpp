// The walk on Win32 over a real folder: files whose data is not on the disk are counted as
// skipped and never opened unless asked; listings use only what the system's version knows.
// Wine keeps no offline or recall attribute, so this program's listing and attribute calls
// are patched to add the attribute a name ends in ("x.0x1000" is offline).
#include "support/import_patch.h"
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

const DWORD kElsewhere = 0x1000 | 0x40000 | 0x400000;   // offline, recall on open, on data access

decltype(&FindFirstFileExW) g_findFirst = nullptr;
decltype(&FindNextFileW) g_findNext = nullptr;
decltype(&GetFileAttributesW) g_attributes = nullptr;
decltype(&CreateFileW) g_createFile = nullptr;
DWORD g_version[2] = {10, 0};
std::vector<std::wstring> g_opened;
std::vector<std::pair<int, DWORD>> g_listings;   // level and flags of each listing

DWORD AttributesNamed(const wchar_t* name)
{
    const wchar_t* dot = wcsrchr(name, L'.');
    return dot != nullptr && dot[1] == L'0' && dot[2] == L'x' ? wcstoul(dot + 1, nullptr, 16) : 0;
}

HANDLE WINAPI FakeFindFirst(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                            FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags)
{
    g_listings.emplace_back(level, flags);
    HANDLE find = g_findFirst(pattern, level, data, search, filter, flags);
    if (find != INVALID_HANDLE_VALUE) {
        auto entry = static_cast<WIN32_FIND_DATAW*>(data);
        entry->dwFileAttributes |= AttributesNamed(entry->cFileName);
    }
    return find;
}

BOOL WINAPI FakeFindNext(HANDLE find, LPWIN32_FIND_DATAW entry)
{
    BOOL more = g_findNext(find, entry);
    if (more) {
        entry->dwFileAttributes |= AttributesNamed(entry->cFileName);
    }
    return more;
}

DWORD WINAPI FakeAttributes(LPCWSTR path)
{
    DWORD attributes = g_attributes(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? attributes : attributes | AttributesNamed(path);
}

HANDLE WINAPI RecordingCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE model)
{
    g_opened.push_back(path);
    return g_createFile(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI FakeVersion(LPOSVERSIONINFOW version)
{
    version->dwMajorVersion = g_version[0];
    version->dwMinorVersion = g_version[1];
    version->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

TEST(WalkTest, DataNotOnTheDiskAndListingsAsTheSystemKnowsThem)
{
    CreateDirectoryW(L"C:\\unit\\tree", nullptr);
    CreateDirectoryW(L"C:\\unit\\tree\\sub", nullptr);
    for (const wchar_t* name : {L"plain.bin", L"archived.0x1000", L"cloud.0x400000",
                                L"recall-on-open.0x40000", L"pinned.0x80000",
                                L"sub\\archived.0x1000"}) {
        CloseHandle(CreateFileW((std::wstring(L"C:\\unit\\tree\\") + name).c_str(), GENERIC_WRITE,
                                0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ScopedImportPatch patches[] = {
        {"kernel32.dll", "FindFirstFileExW", reinterpret_cast<void*>(&FakeFindFirst)},
        {"kernel32.dll", "FindNextFileW", reinterpret_cast<void*>(&FakeFindNext)},
        {"kernel32.dll", "GetFileAttributesW", reinterpret_cast<void*>(&FakeAttributes)},
        {"kernel32.dll", "CreateFileW", reinterpret_cast<void*>(&RecordingCreateFile)},
        {"kernel32.dll", "GetVersionExW", reinterpret_cast<void*>(&FakeVersion)},
    };
    for (const ScopedImportPatch& patch : patches) {
        ASSERT_TRUE(patch.applied());
    }
    g_findFirst = patches[0].original<decltype(g_findFirst)>();
    g_findNext = patches[1].original<decltype(g_findNext)>();
    g_attributes = patches[2].original<decltype(g_attributes)>();
    g_createFile = patches[3].original<decltype(g_createFile)>();
    struct Case {
        const char* name;
        DWORD version[2];
        const char* path;
        bool readOffline;
        uint64_t scanned;
        uint64_t skipped;
        int level;         // of both listings (the folder and "sub"); none for a file
        DWORD flags;
        const char* out;   // nullptr: not compared
    };
    const int basic = FindExInfoBasic;
    const DWORD large = FIND_FIRST_EX_LARGE_FETCH;
    const char* tree = "C:\\unit\\tree";
    const Case cases[] = {
        {"Windows 2000: offline, cloud and recall-on-open files skipped", {5, 0}, tree, false, 2, 4,
         FindExInfoStandard, 0, nullptr},
        {"XP", {5, 1}, tree, false, 2, 4, FindExInfoStandard, 0, nullptr},
        {"Vista", {6, 0}, tree, false, 2, 4, FindExInfoStandard, 0, nullptr},
        {"7, --read-offline reads them", {6, 1}, tree, true, 6, 0, basic, large, nullptr},
        {"10", {10, 0}, tree, false, 2, 4, basic, large, nullptr},
        {"a file named on the command line", {10, 0}, "C:\\unit\\tree\\cloud.0x400000", false, 0, 1,
         -1, 0,
         "{\"type\":\"skipped\",\"path\":\"C:\\\\unit\\\\tree\\\\cloud.0x400000\","
         "\"reason\":\"data not on the disk\"}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_version[0] = c.version[0];
        g_version[1] = c.version[1];
        SweepOptions options;
        options.json = true;
        options.readOffline = c.readOffline;
        SweepContext context;
        context.options = &options;
        BuildVariantSets(context.sets);
        context.walkerBuffer = static_cast<uint8_t*>(std::malloc(kFileBytesBufferSize));
        g_opened.clear();
        g_listings.clear();
        WalkPath(&context, c.path);
        std::free(context.walkerBuffer);
        const std::string& out = context.outBuffer;
        EXPECT_EQ(c.scanned, context.totals.scanned.load()) << out;
        EXPECT_EQ(c.skipped, context.totals.skipped.load()) << out;
        EXPECT_EQ(0u, context.totals.errors.load()) << out;
        EXPECT_TRUE(c.out == nullptr || c.out == out) << out;
        EXPECT_EQ(c.level == -1 ? 0u : 2u, g_listings.size());
        for (const auto& listing : g_listings) {
            EXPECT_EQ(std::make_pair(c.level, c.flags), listing);
        }
        for (const std::wstring& opened : g_opened) {
            EXPECT_TRUE(c.readOffline || (AttributesNamed(opened.c_str()) & kElsewhere) == 0)
                << "opened " << std::string(opened.begin(), opened.end());
        }
    }
}

}  // namespace
