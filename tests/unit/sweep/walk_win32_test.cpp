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

void Plant(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "MZ data", 7, &written, nullptr);
    CloseHandle(file);
}

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(first_.applied() && next_.applied() && attributes_.applied() &&
                    create_.applied() && version_.applied());
        g_findFirst = first_.original<decltype(g_findFirst)>();
        g_findNext = next_.original<decltype(g_findNext)>();
        g_attributes = attributes_.original<decltype(g_attributes)>();
        g_createFile = create_.original<decltype(g_createFile)>();
        CreateDirectoryW(L"C:\\unit\\tree", nullptr);
        CreateDirectoryW(L"C:\\unit\\tree\\sub", nullptr);
        for (const wchar_t* name :
             {L"plain.bin", L"archived.0x1000", L"cloud.0x400000", L"recall-on-open.0x40000",
              L"pinned.0x80000", L"sub\\archived.0x1000"}) {
            Plant((std::wstring(L"C:\\unit\\tree\\") + name).c_str());
        }
    }

    // Walks `path`; RETURNS the JSON Lines the walk printed.
    std::string Walk(const char* path, bool readOffline, SweepTotals* totals)
    {
        SweepOptions options;
        options.json = true;
        options.readOffline = readOffline;
        SweepContext context;
        context.options = &options;
        BuildVariantSets(context.sets);
        context.walkerBuffer = static_cast<uint8_t*>(std::malloc(kFileBytesBufferSize));
        g_opened.clear();
        g_listings.clear();
        WalkPath(&context, path);
        std::free(context.walkerBuffer);
        totals->scanned = context.totals.scanned.load();
        totals->skipped = context.totals.skipped.load();
        totals->errors = context.totals.errors.load();
        return context.outBuffer;
    }

    ScopedImportPatch first_{"kernel32.dll", "FindFirstFileExW",
                             reinterpret_cast<void*>(&FakeFindFirst)};
    ScopedImportPatch next_{"kernel32.dll", "FindNextFileW",
                            reinterpret_cast<void*>(&FakeFindNext)};
    ScopedImportPatch attributes_{"kernel32.dll", "GetFileAttributesW",
                                  reinterpret_cast<void*>(&FakeAttributes)};
    ScopedImportPatch create_{"kernel32.dll", "CreateFileW",
                              reinterpret_cast<void*>(&RecordingCreateFile)};
    ScopedImportPatch version_{"kernel32.dll", "GetVersionExW",
                               reinterpret_cast<void*>(&FakeVersion)};
};

TEST_F(WalkTest, FilesWhoseDataIsNotOnTheDiskAreSkippedUnopened)
{
    struct Case {
        const char* name;
        const char* path;
        bool readOffline;
        uint64_t scanned;
        uint64_t skipped;
        const char* out;   // nullptr: not compared
    };
    const Case cases[] = {
        {"a folder: offline, cloud and recall-on-open files skipped", "C:\\unit\\tree", false, 2, 4,
         nullptr},
        {"--read-offline reads them", "C:\\unit\\tree", true, 6, 0, nullptr},
        {"a file named on the command line", "C:\\unit\\tree\\cloud.0x400000", false, 0, 1,
         "{\"type\":\"skipped\",\"path\":\"C:\\\\unit\\\\tree\\\\cloud.0x400000\","
         "\"reason\":\"data not on the disk\"}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SweepTotals totals;
        std::string out = Walk(c.path, c.readOffline, &totals);
        EXPECT_EQ(c.scanned, totals.scanned.load()) << out;
        EXPECT_EQ(c.skipped, totals.skipped.load()) << out;
        EXPECT_EQ(0u, totals.errors.load()) << out;
        if (c.out != nullptr) {
            EXPECT_EQ(c.out, out);
        }
        for (const std::wstring& opened : g_opened) {
            EXPECT_TRUE(c.readOffline || (AttributesNamed(opened.c_str()) & kElsewhere) == 0)
                << "opened " << std::string(opened.begin(), opened.end());
        }
    }
}

TEST_F(WalkTest, ListingsAsTheSystemKnowsThem)
{
    struct Case {
        DWORD major;
        DWORD minor;
        int level;
        DWORD flags;
    };
    const Case cases[] = {
        {5, 0, FindExInfoStandard, 0},   // Windows 2000
        {5, 1, FindExInfoStandard, 0},   // XP
        {6, 0, FindExInfoStandard, 0},   // Vista
        {6, 1, FindExInfoBasic, FIND_FIRST_EX_LARGE_FETCH},   // 7
        {10, 0, FindExInfoBasic, FIND_FIRST_EX_LARGE_FETCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        g_version[0] = c.major;
        g_version[1] = c.minor;
        SweepTotals totals;
        Walk("C:\\unit\\tree", false, &totals);
        EXPECT_EQ(2u, totals.scanned.load());
        ASSERT_EQ(2u, g_listings.size());   // the folder and "sub"
        for (const auto& listing : g_listings) {
            EXPECT_EQ(c.level, listing.first);
            EXPECT_EQ(c.flags, listing.second);
        }
    }
}

}  // namespace
