// Bytes that a read did not deliver are never compared or parsed as if present. A read is
// made to deliver fewer bytes than the file holds, as when the file shrinks while it is read.
#include "scan_test_support.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;
using scan_test::RemoveScratch;
using scan_test::ScanWith;
using scan_test::WriteScratchImage;

constexpr uint32_t kFileSize = 0x8000;   // the window read asks for all of it

size_t g_cutRead = 0;      // the read of this many bytes ...
size_t g_delivered = 0;    // ... delivers only this many
ScopedImportPatch* g_freadPatch = nullptr;
using FreadFunction = size_t(__cdecl*)(void*, size_t, size_t, FILE*);

size_t __cdecl CuttingFread(void* buffer, size_t size, size_t count, FILE* file)
{
    if (size == 1 && count == g_cutRead && g_delivered < count) {
        count = g_delivered;
    }
    return g_freadPatch->original<FreadFunction>()(buffer, size, count, file);
}

class ScanUndeliveredTest : public testing::Test {
protected:
    void SetUp() override
    {
        patch_ = new ScopedImportPatch("msvcrt.dll", "fread", reinterpret_cast<void*>(&CuttingFread));
        g_freadPatch = patch_;
        ASSERT_TRUE(patch_->applied());
        g_cutRead = 0;
    }
    void TearDown() override
    {
        g_cutRead = 0;
        delete patch_;
        g_freadPatch = nullptr;
    }

private:
    ScopedImportPatch* patch_ = nullptr;
};

struct Case {
    const char* name;
    size_t cutRead;
    size_t delivered;
    ImageLayout layout;
    SignatureSet set;
    ScanResult expected;
};

void RunCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteScratchImage("undelivered.exe", c.layout);
        g_cutRead = c.cutRead;
        g_delivered = c.delivered;
        EXPECT_EQ(c.expected, ScanWith(path, c.set));
        g_cutRead = 0;
        RemoveScratch(path);
    }
}

ImageLayout Plain()
{
    ImageLayout layout;
    layout.fileSize = kFileSize;
    return layout;
}

// A section that maps the entry point past the end of the file: used, it gives -25.
ImageLayout WithSectionBeyondTheEnd()
{
    ImageLayout layout = Plain();
    layout.sections = {{0x1000, 0x1000, 0x40000}};
    return layout;
}

TEST_F(ScanUndeliveredTest, TheWindow)
{
    // The file holds zero bytes at 0x3000; a zeroed buffer would hold them too.
    const SignatureSet zeros = pe_image::MakeSet({{0x3000, Bytes(8, 0)}});
    const SignatureSet mz = pe_image::MakeSet({{0, {'M', 'Z'}}});
    const SignatureSet toByte100 = pe_image::MakeSet({{96, Bytes(4, 0)}});
    const SignatureSet toByte101 = pe_image::MakeSet({{97, Bytes(4, 0)}});
    const SignatureSet length0At100 = pe_image::MakeSet({{100, {}}});
    const SignatureSet length0At101 = pe_image::MakeSet({{101, {}}});
    RunCases({
        {"all delivered: zeros match", kFileSize, kFileSize, Plain(), zeros, kScanFound},
        {"100 delivered: zeros beyond them do not", kFileSize, 100, Plain(), zeros, kScanNotFound},
        {"100 delivered: a pattern inside them matches", kFileSize, 100, Plain(), mz, kScanFound},
        {"pattern ending on the last delivered byte", kFileSize, 100, Plain(), toByte100, kScanFound},
        {"one byte further", kFileSize, 100, Plain(), toByte101, kScanNotFound},
        {"length 0 at the delivered end", kFileSize, 100, Plain(), length0At100, kScanFound},
        {"length 0 one past it", kFileSize, 100, Plain(), length0At101, kScanNotFound},
        {"49 delivered", kFileSize, 49, Plain(), mz, kScanFound},
        {"48 delivered", kFileSize, 48, Plain(), mz, kScanShortRead},
    });
}

TEST_F(ScanUndeliveredTest, TheDosHeader)
{
    const SignatureSet mz = pe_image::MakeSet({{0, {'M', 'Z'}}});
    ImageLayout notMz = Plain();
    notMz.mz = false;
    RunCases({
        {"64 delivered: e_lfanew complete", 256, 64, Plain(), mz, kScanFound},
        {"63 delivered: e_lfanew incomplete", 256, 63, Plain(), mz, kScanShortRead},
        {"49 delivered: e_lfanew missing", 256, 49, Plain(), mz, kScanShortRead},
        {"49 delivered, not MZ", 256, 49, notMz, mz, kScanNotPe},
        {"48 delivered", 256, 48, Plain(), mz, kScanShortRead},
    });
}

TEST_F(ScanUndeliveredTest, ThePeHeaderAndItsSectionTable)
{
    const SignatureSet mz = pe_image::MakeSet({{0, {'M', 'Z'}}});
    const size_t oneHeader = 24 + pe_image::kPe32OptionalHeaderSize + 40;
    RunCases({
        {"all delivered: the section is used", 4096, 4096, WithSectionBeyondTheEnd(), mz,
         kScanSkipped},
        {"the whole header delivered", 4096, oneHeader, WithSectionBeyondTheEnd(), mz, kScanSkipped},
        {"its last byte not delivered: absent", 4096, oneHeader - 1, WithSectionBeyondTheEnd(), mz,
         kScanFound},
        {"49 delivered: no table", 4096, 49, WithSectionBeyondTheEnd(), mz, kScanFound},
        {"48 delivered", 4096, 48, WithSectionBeyondTheEnd(), mz, kScanShortRead},
    });
}

}  // namespace
