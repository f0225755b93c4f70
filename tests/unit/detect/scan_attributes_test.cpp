// The scan clears a file's attributes for the read and puts them back, whatever the result;
// invalid arguments touch nothing; failures to open or to obtain a buffer are reported.
#include "scan_test_support.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;
using scan_test::RemoveScratch;
using scan_test::ScanWith;
using scan_test::WriteScratch;
using scan_test::WriteScratchImage;

constexpr DWORD kReadOnlyHiddenSystem =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

const Bytes kProbe = {0x4D, 0x5A, 0x90, 0x00, 0xC3, 0xCC, 0x55, 0x8B};

SignatureSet ProbeSet()
{
    return pe_image::MakeSet({{0x3000, kProbe}});
}

// Every call of the two attribute functions, and the attributes seen when the file opened.
struct AttributeCalls {
    int gets = 0;
    std::vector<DWORD> sets;
    DWORD atOpen = 0xDEADBEEF;
    int opens = 0;
    DWORD forcedAttributes = 0;   // 0: pass through
};
AttributeCalls g_calls;
ScopedImportPatch* g_getPatch = nullptr;
ScopedImportPatch* g_setPatch = nullptr;
ScopedImportPatch* g_openPatch = nullptr;

using GetAttributesFunction = DWORD(WINAPI*)(LPCSTR);
using SetAttributesFunction = BOOL(WINAPI*)(LPCSTR, DWORD);
using OpenFunction = FILE*(__cdecl*)(const char*, const char*);

DWORD WINAPI RecordingGetFileAttributesA(LPCSTR path)
{
    ++g_calls.gets;
    if (g_calls.forcedAttributes != 0) {
        return g_calls.forcedAttributes;
    }
    return g_getPatch->original<GetAttributesFunction>()(path);
}

BOOL WINAPI RecordingSetFileAttributesA(LPCSTR path, DWORD attributes)
{
    g_calls.sets.push_back(attributes);
    return g_setPatch->original<SetAttributesFunction>()(path, attributes);
}

FILE* __cdecl RecordingFopen(const char* path, const char* mode)
{
    ++g_calls.opens;
    g_calls.atOpen = g_getPatch->original<GetAttributesFunction>()(path);
    return g_openPatch->original<OpenFunction>()(path, mode);
}

class ScanAttributesTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_calls = AttributeCalls();
        getPatch_ = new ScopedImportPatch("kernel32.dll", "GetFileAttributesA",
                                          reinterpret_cast<void*>(&RecordingGetFileAttributesA));
        setPatch_ = new ScopedImportPatch("kernel32.dll", "SetFileAttributesA",
                                          reinterpret_cast<void*>(&RecordingSetFileAttributesA));
        openPatch_ = new ScopedImportPatch("msvcrt.dll", "fopen",
                                           reinterpret_cast<void*>(&RecordingFopen));
        g_getPatch = getPatch_;
        g_setPatch = setPatch_;
        g_openPatch = openPatch_;
        ASSERT_TRUE(getPatch_->applied());
        ASSERT_TRUE(setPatch_->applied());
        ASSERT_TRUE(openPatch_->applied());
    }
    void TearDown() override
    {
        delete openPatch_;
        delete setPatch_;
        delete getPatch_;
        g_getPatch = g_setPatch = g_openPatch = nullptr;
    }
    // The attributes as the platform reports them, not counted.
    static DWORD Attributes(const std::string& path)
    {
        return g_getPatch->original<GetAttributesFunction>()(path.c_str());
    }
    static bool SetAttributes(const std::string& path, DWORD attributes)
    {
        return g_setPatch->original<SetAttributesFunction>()(path.c_str(), attributes) != FALSE;
    }
    void ResetCalls() { g_calls = AttributeCalls(); }

private:
    ScopedImportPatch* getPatch_ = nullptr;
    ScopedImportPatch* setPatch_ = nullptr;
    ScopedImportPatch* openPatch_ = nullptr;
};

TEST_F(ScanAttributesTest, InvalidArgumentsTouchNothing)
{
    std::string path = WriteScratchImage("args.exe", pe_image::ImageCarrying(ProbeSet(), false, 0x8000));
    ASSERT_TRUE(SetAttributes(path, kReadOnlyHiddenSystem));
    const DWORD before = Attributes(path);
    ASSERT_EQ(kReadOnlyHiddenSystem, before & kReadOnlyHiddenSystem) << "attributes " << before;

    SignatureSet set = ProbeSet();
    SignatureSet three = pe_image::MakeSet({{0x3000, kProbe}, {0x3000, kProbe}, {0x3000, kProbe}});
    SignatureSet long49 = three;
    long49.entries[0].length = 49;
    SignatureSet longSecond = three;
    longSecond.entries[1].length = 49;
    SignatureSet longHuge = three;
    longHuge.entries[2].length = 0xFFFFFFFFu;
    struct Case {
        const char* name;
        const char* path;
        const SignatureEntry* entries;
        uint32_t count;
    };
    const Case cases[] = {
        {"no path", nullptr, set.entries, 1},
        {"empty path", "", set.entries, 1},
        {"no entries", path.c_str(), nullptr, 1},
        {"count 0", path.c_str(), set.entries, 0},
        {"count 4", path.c_str(), three.entries, 4},
        {"count 0xFFFFFFFF", path.c_str(), three.entries, 0xFFFFFFFFu},
        {"first length 49", path.c_str(), long49.entries, 1},
        {"second length 49", path.c_str(), longSecond.entries, 2},
        {"third length 0xFFFFFFFF", path.c_str(), longHuge.entries, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetCalls();
        EXPECT_EQ(kScanInvalidArguments, ScanFileForSignatures(c.path, c.entries, c.count));
        EXPECT_EQ(0, g_calls.gets);
        EXPECT_EQ(0u, g_calls.sets.size());
        EXPECT_EQ(0, g_calls.opens);
        EXPECT_EQ(before, Attributes(path));
    }
    // Only the first `count` lengths are checked.
    ResetCalls();
    EXPECT_EQ(kScanFound, ScanFileForSignatures(path.c_str(), longSecond.entries, 1));
    EXPECT_EQ(kScanFound, ScanFileForSignatures(path.c_str(), longHuge.entries, 2));
    EXPECT_EQ(before, Attributes(path));
    RemoveScratch(path);
}

// Read-only, hidden and system are cleared while the file is read and are back afterwards,
// for every result the file can give.
TEST_F(ScanAttributesTest, AttributesAreClearedForTheReadAndRestoredWhateverTheResult)
{
    ImageLayout found = pe_image::ImageCarrying(ProbeSet(), false, 0x8000);
    ImageLayout notFound = found;
    notFound.placed.clear();
    ImageLayout skipped = found;
    skipped.entryPoint = 0x1000 + 0x7D00;
    skipped.sections = {{0x1000, 0x8000, 0x400}};
    ImageLayout notPe = found;
    notPe.peSignature = false;
    ImageLayout shortRead = found;
    shortRead.peOffset = found.fileSize - 10;
    struct Case {
        const char* name;
        Bytes bytes;
        ScanResult expected;
    };
    const Case cases[] = {
        {"found", pe_image::BuildImage(found), kScanFound},
        {"not found", pe_image::BuildImage(notFound), kScanNotFound},
        {"skipped, entry point beyond the end", pe_image::BuildImage(skipped), kScanSkipped},
        {"skipped, too small", Bytes(20, 'M'), kScanSkipped},
        {"not a PE file", pe_image::BuildImage(notPe), kScanNotPe},
        {"short read", pe_image::BuildImage(shortRead), kScanShortRead},
    };
    const DWORD attributeSets[] = {
        kReadOnlyHiddenSystem,
        FILE_ATTRIBUTE_READONLY,
        FILE_ATTRIBUTE_HIDDEN,
        FILE_ATTRIBUTE_SYSTEM,
        kReadOnlyHiddenSystem | FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_ARCHIVE,
    };
    for (const Case& c : cases) {
        for (DWORD attributes : attributeSets) {
            SCOPED_TRACE(std::string(c.name) + ", attributes " + std::to_string(attributes));
            std::string path = WriteScratch("attributes.exe", c.bytes);
            ASSERT_TRUE(SetAttributes(path, attributes));
            const DWORD before = Attributes(path);
            ASSERT_EQ(attributes & kReadOnlyHiddenSystem, before & kReadOnlyHiddenSystem);
            ResetCalls();
            EXPECT_EQ(c.expected, ScanWith(path, ProbeSet()));
            EXPECT_EQ(1, g_calls.opens);
            EXPECT_EQ(0u, g_calls.atOpen & kReadOnlyHiddenSystem)
                << "attributes while open: " << g_calls.atOpen;
            ASSERT_GE(g_calls.sets.size(), 1u);
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), g_calls.sets.front());
            EXPECT_EQ(2, g_calls.gets) << "read once before and once after";
            EXPECT_EQ(before, Attributes(path)) << "after " << Attributes(path);
            RemoveScratch(path);
        }
    }
}

TEST_F(ScanAttributesTest, AttributesWithTheNormalBitAreLeftAlone)
{
    std::string path = WriteScratchImage("normal.exe", pe_image::ImageCarrying(ProbeSet(), false, 0x8000));
    // The platform never reports the bit (Wine reads a plain file as archive), so the
    // attribute query is made to report it.
    ResetCalls();
    g_calls.forcedAttributes = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    EXPECT_EQ(0u, g_calls.sets.size()) << "first set to " << (g_calls.sets.empty() ? 0 : g_calls.sets[0]);
    EXPECT_EQ(2, g_calls.gets);
    RemoveScratch(path);
}

TEST_F(ScanAttributesTest, AttributesThatCannotBeReadAreNeverWritten)
{
    std::string path = WriteScratchImage("noattr.exe", pe_image::ImageCarrying(ProbeSet(), false, 0x8000));
    ResetCalls();
    g_calls.forcedAttributes = INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    EXPECT_EQ(0u, g_calls.sets.size()) << "set to " << (g_calls.sets.empty() ? 0 : g_calls.sets[0]);
    RemoveScratch(path);
}

TEST_F(ScanAttributesTest, APathThatNamesNoFileCannotBeOpened)
{
    std::string path = scan_test::ScratchPath("no such file.exe");
    EXPECT_EQ(kScanCannotOpen, ScanWith(path, ProbeSet()));
    EXPECT_EQ(0u, g_calls.sets.size());
    EXPECT_EQ(1, g_calls.gets) << "a failed first read leaves nothing to restore";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, Attributes(path));
}

// Another process's handle without sharing keeps the file from being opened; its
// attributes, cleared for the attempt, come back.
TEST_F(ScanAttributesTest, AFileThatCannotBeOpenedHasItsAttributesRestored)
{
    std::string path = WriteScratchImage("locked.exe", pe_image::ImageCarrying(ProbeSet(), false, 0x8000));
    ASSERT_TRUE(SetAttributes(path, kReadOnlyHiddenSystem));
    const DWORD before = Attributes(path);
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock) << "error " << GetLastError();
    ResetCalls();
    EXPECT_EQ(kScanCannotOpen, ScanWith(path, ProbeSet()));
    EXPECT_EQ(1, g_calls.opens);
    ASSERT_GE(g_calls.sets.size(), 1u);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), g_calls.sets.front());
    EXPECT_EQ(before, Attributes(path)) << "after " << Attributes(path);
    CloseHandle(lock);
    RemoveScratch(path);
}

TEST_F(ScanAttributesTest, AFolderCannotBeOpenedAndKeepsItsAttributes)
{
    std::string path = scan_test::ScratchPath("hidden folder");
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    ASSERT_TRUE(SetAttributes(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    const DWORD before = Attributes(path);
    ResetCalls();
    EXPECT_EQ(kScanCannotOpen, ScanWith(path, ProbeSet()));
    EXPECT_EQ(1, g_calls.opens);
    EXPECT_EQ(before, Attributes(path)) << "after " << Attributes(path);
    SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

// Buffers that cannot be obtained: the allocation of one size is made to fail.
size_t g_failingSize = 0;
int g_failedAllocations = 0;
ScopedImportPatch* g_mallocPatch = nullptr;
using MallocFunction = void*(__cdecl*)(size_t);

void* __cdecl FailingMalloc(size_t size)
{
    if (size == g_failingSize) {
        ++g_failedAllocations;
        return nullptr;
    }
    return g_mallocPatch->original<MallocFunction>()(size);
}

TEST_F(ScanAttributesTest, ABufferThatCannotBeObtainedIsAShortRead)
{
    ScopedImportPatch patch("msvcrt.dll", "malloc", reinterpret_cast<void*>(&FailingMalloc));
    ASSERT_TRUE(patch.applied());
    g_mallocPatch = &patch;
    const uint32_t sizes[] = {256, 4096, 0x8000 /* the window of this file */};
    for (uint32_t size : sizes) {
        SCOPED_TRACE("failing buffer of " + std::to_string(size));
        std::string path =
            WriteScratchImage("nobuffer.exe", pe_image::ImageCarrying(ProbeSet(), false, 0x8000));
        ASSERT_TRUE(SetAttributes(path, kReadOnlyHiddenSystem));
        const DWORD before = Attributes(path);
        g_failingSize = size;
        g_failedAllocations = 0;
        EXPECT_EQ(kScanShortRead, ScanWith(path, ProbeSet()));
        g_failingSize = 0;
        EXPECT_EQ(1, g_failedAllocations);
        EXPECT_EQ(before, Attributes(path));
        // The file was closed: it can be opened without sharing at once.
        HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, exclusive) << "error " << GetLastError();
        CloseHandle(exclusive);
        RemoveScratch(path);
    }
    g_mallocPatch = nullptr;
}

}  // namespace
