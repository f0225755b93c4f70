// The scan's rules, each edge pinned by one row: file size, DOS and PE headers, the entry
// point, and the bounds of the pattern comparisons.
#include "scan_test_support.h"

#include <gtest/gtest.h>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;
using pe_image::Placed;
using scan_test::RemoveScratch;
using scan_test::ScanWith;
using scan_test::WriteScratch;
using scan_test::WriteScratchImage;

const Bytes kProbeFirst = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                           0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F};
const Bytes kProbeSecond = {0xC3, 0x90, 0xCC, 0x00, 0x55, 0x8B, 0xEC, 0xE8};

// Two patterns well inside an image of the default 0x8000 bytes.
SignatureSet ProbeSet()
{
    return pe_image::MakeSet({{0x3000, kProbeFirst}, {0x5000, kProbeSecond}});
}

ImageLayout ProbeImage()
{
    return pe_image::ImageCarrying(ProbeSet(), false, 0x8000);
}

struct ImageCase {
    const char* name;
    ImageLayout layout;
    ScanResult expected;
};

void RunImageCases(const ImageCase* cases, size_t count, const SignatureSet& set)
{
    for (size_t index = 0; index < count; ++index) {
        const ImageCase& c = cases[index];
        SCOPED_TRACE(c.name);
        std::string path = WriteScratchImage("scan_case.exe", c.layout);
        EXPECT_EQ(c.expected, ScanWith(path, set));
        RemoveScratch(path);
    }
}

ImageLayout With(ImageLayout layout, void (*change)(ImageLayout*))
{
    change(&layout);
    return layout;
}

TEST(SignatureScanTest, TheProbeImageIsFoundAsPe32AndPe32Plus)
{
    ImageLayout layout = ProbeImage();
    std::string path = WriteScratchImage("probe32.exe", layout);
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    RemoveScratch(path);
    layout.pe32Plus = true;
    path = WriteScratchImage("probe64.exe", layout);
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    RemoveScratch(path);
}

TEST(SignatureScanTest, FileSize)
{
    // A file of 60 bytes passes the size test; its e_lfanew (bytes 60..63) never arrives.
    Bytes mz60(60, 0);
    mz60[0] = 'M';
    mz60[1] = 'Z';
    mz60[24] = 0x40;
    Bytes mz59(mz60.begin(), mz60.end() - 1);
    Bytes plain60(60, 'x');
    Bytes mz64 = mz60;
    mz64.resize(64, 0);
    mz64[60] = 0x04;   // e_lfanew 4: only 60 bytes from there
    struct Case {
        const char* name;
        Bytes bytes;
        ScanResult expected;
    };
    const Case cases[] = {
        {"empty file", {}, kScanSkipped},
        {"59 bytes", mz59, kScanSkipped},
        {"59 bytes, not MZ", Bytes(59, 'x'), kScanSkipped},
        {"60 bytes, not MZ: read on to the header test", plain60, kScanNotPe},
        {"60 bytes, MZ: e_lfanew not delivered", mz60, kScanShortRead},
        {"64 bytes, MZ, e_lfanew 4: 60 bytes from there but no PE signature", mz64, kScanNotPe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteScratch("size_case.exe", c.bytes);
        EXPECT_EQ(c.expected, ScanWith(path, ProbeSet()));
        RemoveScratch(path);
    }
}

TEST(SignatureScanTest, DosAndPeHeaders)
{
    const uint32_t size = ProbeImage().fileSize;
    const ImageCase cases[] = {
        {"all headers in order", ProbeImage(), kScanFound},
        {"no MZ", With(ProbeImage(), [](ImageLayout* s) { s->mz = false; }), kScanNotPe},
        {"relocation-table offset 0x3F",
         With(ProbeImage(), [](ImageLayout* s) { s->relocationTableOffset = 0x3F; }), kScanNotPe},
        {"relocation-table offset 0",
         With(ProbeImage(), [](ImageLayout* s) { s->relocationTableOffset = 0; }), kScanNotPe},
        {"relocation-table offset 0x40",
         With(ProbeImage(), [](ImageLayout* s) { s->relocationTableOffset = 0x40; }), kScanFound},
        {"relocation-table offset 0xFFFF",
         With(ProbeImage(), [](ImageLayout* s) { s->relocationTableOffset = 0xFFFF; }), kScanFound},
        {"no PE signature", With(ProbeImage(), [](ImageLayout* s) { s->peSignature = false; }),
         kScanNotPe},
        {"e_lfanew 0: the signature read there is MZ",
         With(ProbeImage(), [](ImageLayout* s) { s->peOffset = 0; }), kScanNotPe},
        {"PE header at 0x400",
         With(ProbeImage(), [](ImageLayout* s) { s->peOffset = 0x400; }), kScanFound},
        {"PE header at 0x6000 (the section table follows it)",
         With(ProbeImage(), [](ImageLayout* s) { s->peOffset = 0x6000; }), kScanFound},
        {"optional header magic, machine and flags are not examined",
         With(ProbeImage(), [](ImageLayout* s) {
             s->placed.push_back({s->peOffset + 4, {0xFF, 0xFF}});
             s->placed.push_back({s->peOffset + 22, {0, 0}});
             s->placed.push_back({s->peOffset + 24, {0x77, 0x77}});
         }), kScanFound},
    };
    RunImageCases(cases, sizeof(cases) / sizeof(cases[0]), ProbeSet());

    // e_lfanew near and beyond the end; only the DOS header fields matter here.
    struct OffsetCase {
        const char* name;
        uint32_t peOffset;
        ScanResult expected;
    };
    const OffsetCase offsets[] = {
        {"49 bytes from e_lfanew to the end: read on", size - 49, kScanFound},
        {"48 bytes from e_lfanew to the end", size - 48, kScanShortRead},
        {"last byte", size - 1, kScanShortRead},
        {"at the end", size, kScanShortRead},
        {"beyond the end", size + 0x1000, kScanShortRead},
        {"largest positive", 0x7FFFFFFF, kScanShortRead},
        {"0x80000000: cannot be positioned to", 0x80000000u, kScanShortRead},
        {"0xFFFFFFFF", 0xFFFFFFFFu, kScanShortRead},
    };
    for (const OffsetCase& c : offsets) {
        SCOPED_TRACE(c.name);
        ImageLayout layout = ProbeImage();
        layout.peOffset = c.peOffset;
        layout.sections.clear();   // the headers at e_lfanew are cut or absent
        std::string path = WriteScratchImage("lfanew_case.exe", layout);
        EXPECT_EQ(c.expected, ScanWith(path, ProbeSet())) << "e_lfanew " << c.peOffset;
        RemoveScratch(path);
    }
}

TEST(SignatureScanTest, EntryPoint)
{
    const ImageCase cases[] = {
        {"file offset exactly size - 4", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, s->fileSize - 0x400, 0x400}};
             s->entryPoint = 0x1000 + s->fileSize - 4 - 0x400;
         }), kScanFound},
        {"file offset size - 3", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, s->fileSize - 0x400, 0x400}};
             s->entryPoint = 0x1000 + s->fileSize - 3 - 0x400;
         }), kScanSkipped},
        {"VirtualAddress + SizeOfRawData maps into the section", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x200, s->fileSize - 0x200 + 8}};
             s->entryPoint = 0x1200;   // maps to size + 8
         }), kScanSkipped},
        {"the section start of that section passes", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x200, s->fileSize - 0x200 + 8}};
             s->entryPoint = 0x1000;
         }), kScanFound},
        {"one past VirtualAddress + SizeOfRawData is in no section", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x200, s->fileSize - 0x200 + 8}};
             s->entryPoint = 0x1201;
         }), kScanFound},
        {"below every section: offset 0, never skipped", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x200, 0x40000}};
             s->entryPoint = 0x800;
         }), kScanFound},
        {"no sections at all", With(ProbeImage(), [](ImageLayout* s) {
             s->sections.clear();
             s->entryPoint = 0x123456;
         }), kScanFound},
        {"first matching header wins (maps beyond the end)", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x1000, 0x40000}, {0x1000, 0x1000, 0x400}};
         }), kScanSkipped},
        {"first matching header wins (maps inside)", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x1000, 0x400}, {0x1000, 0x1000, 0x40000}};
         }), kScanFound},
        {"NumberOfSections 0 hides the table", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x1000, 0x40000}};
             s->numberOfSections = 0;
         }), kScanFound},
        {"SizeOfOptionalHeader moves the table", With(ProbeImage(), [](ImageLayout* s) {
             s->sections = {{0x1000, 0x1000, 0x40000}};
             s->sizeOfOptionalHeader = 0x10;   // the table is read at +40: AddressOfEntryPoint
         }), kScanFound},
    };
    RunImageCases(cases, sizeof(cases) / sizeof(cases[0]), ProbeSet());
}

// Section headers that lie beyond the bytes the 4,096-byte read delivered are absent: the
// entry point then lies in no section, offset 0, and the file is read on.
TEST(SignatureScanTest, SectionHeadersBeyondTheDeliveredBytesAreAbsent)
{
    const pe_image::Section kMapsBeyondTheEnd = {0x1000, 0x1000, 0x40000};
    const pe_image::Section kUnrelated = {0x100000, 0x100, 0x400};   // above the entry point: skipped
    const uint32_t tableStart = 24 + pe_image::kPe32OptionalHeaderSize;   // from the PE header

    struct Case {
        const char* name;
        uint32_t headerIndex;   // where the header that maps beyond the end stands
        uint32_t peFromEnd;     // e_lfanew = file size - this; 0: e_lfanew 0x80
        ScanResult expected;
    };
    const Case cases[] = {
        {"header 95 ends at byte 4,088 of the read: present", 95, 0, kScanSkipped},
        {"header 96 would end at byte 4,128: absent", 96, 0, kScanFound},
        {"header 200, NumberOfSections 201: absent", 200, 0, kScanFound},
        {"only header, wholly delivered at the file's end", 0, tableStart + 40, kScanSkipped},
        {"only header, its last byte not delivered", 0, tableStart + 39, kScanFound},
        {"only header, its PointerToRawData not delivered", 0, tableStart + 23, kScanFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLayout layout = ProbeImage();
        layout.sections.assign(c.headerIndex, kUnrelated);
        layout.sections.push_back(kMapsBeyondTheEnd);
        if (c.peFromEnd != 0) {
            layout.peOffset = layout.fileSize - c.peFromEnd;
        }
        std::string path = WriteScratchImage("sections_case.exe", layout);
        EXPECT_EQ(c.expected, ScanWith(path, ProbeSet()));
        RemoveScratch(path);
    }

    // NumberOfSections 0xFFFF over a short table, and SizeOfOptionalHeader 0xFFFF that puts
    // the table far beyond the 4,096 bytes: nothing is read past the buffer.
    ImageLayout many = ProbeImage();
    many.sections = {kUnrelated};
    many.numberOfSections = 0xFFFF;
    std::string path = WriteScratchImage("sections_many.exe", many);
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    RemoveScratch(path);
    ImageLayout distant = ProbeImage();
    distant.sections = {kMapsBeyondTheEnd};
    distant.sizeOfOptionalHeader = 0xFFFF;
    path = WriteScratchImage("sections_far.exe", distant);
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    RemoveScratch(path);
}

TEST(SignatureScanTest, PatternBounds)
{
    const Bytes kSixteen = kProbeFirst;
    const Bytes kFortyEight(48, 0xA5);
    struct Case {
        const char* name;
        uint32_t fileSize;
        std::vector<Placed> entries;
        ScanResult expected;
    };
    const Case cases[] = {
        {"ends on the file's last byte", 0x8000, {{0x8000 - 16, kSixteen}}, kScanFound},
        {"one byte further", 0x8000, {{0x8000 - 15, kSixteen}}, kScanNotFound},
        {"48 bytes ending on the last byte", 0x8000, {{0x8000 - 48, kFortyEight}}, kScanFound},
        {"ends on byte 65,535", 0x12000, {{65536 - 16, kSixteen}}, kScanFound},
        {"ends on byte 65,536 (the file has it)", 0x12000, {{65536 - 15, kSixteen}}, kScanNotFound},
        {"at 65,536", 0x12000, {{65536, kSixteen}}, kScanNotFound},
        {"ends on byte 65,535 of a file of exactly 65,536", 65536, {{65536 - 16, kSixteen}},
         kScanFound},
        {"length 0 inside", 0x8000, {{0x100, {}}}, kScanFound},
        {"length 0 at the file size", 0x8000, {{0x8000, {}}}, kScanFound},
        {"length 0 one past the file size", 0x8000, {{0x8001, {}}}, kScanNotFound},
        {"length 0 at 65,536", 0x12000, {{65536, {}}}, kScanFound},
        {"length 0 at 65,537", 0x12000, {{65537, {}}}, kScanNotFound},
        {"length 0 at 0xFFFFFFFF", 0x12000, {{0xFFFFFFFFu, {}}}, kScanNotFound},
        {"offset 0xFFFFFFFF", 0x12000, {{0xFFFFFFFFu, kSixteen}}, kScanNotFound},
        {"length 0 then a match", 0x8000, {{0x100, {}}, {0x3000, kSixteen}}, kScanFound},
        {"length 0 out of bounds then a match", 0x8000, {{0x9000, {}}, {0x3000, kSixteen}},
         kScanNotFound},
        {"three entries all match", 0x8000,
         {{0x3000, kSixteen}, {0x5000, kProbeSecond}, {0x7000, kFortyEight}}, kScanFound},
        {"header bytes can be patterns", 0x8000, {{0, {'M', 'Z'}}, {0x80, {'P', 'E', 0, 0}}},
         kScanFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLayout layout;
        layout.fileSize = c.fileSize;
        layout.placed = c.entries;
        std::string path = WriteScratchImage("bounds_case.exe", layout);
        EXPECT_EQ(c.expected, ScanWith(path, pe_image::MakeSet(c.entries)));
        RemoveScratch(path);
    }
}

TEST(SignatureScanTest, AnEntryThatFailsEndsTheComparisons)
{
    ImageLayout layout = ProbeImage();
    std::string path = WriteScratchImage("order_case.exe", layout);
    const Bytes wrong = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x88};
    struct Case {
        const char* name;
        std::vector<Placed> entries;
        ScanResult expected;
    };
    const Case cases[] = {
        {"first fails, second matches", {{0x3000, wrong}, {0x5000, kProbeSecond}}, kScanNotFound},
        {"first matches, second fails", {{0x3000, kProbeFirst}, {0x5000, wrong}}, kScanNotFound},
        {"first out of bounds, second matches", {{0x8000, kProbeFirst}, {0x5000, kProbeSecond}},
         kScanNotFound},
        {"third fails", {{0x3000, kProbeFirst}, {0x5000, kProbeSecond}, {0x6000, wrong}},
         kScanNotFound},
        {"last byte differs", {{0x3000, {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x98,
                                        0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0E}}},
         kScanNotFound},
        {"first byte differs", {{0x3000, {0x11, 0x21}}}, kScanNotFound},
        {"single entry", {{0x5000, kProbeSecond}}, kScanFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, ScanWith(path, pe_image::MakeSet(c.entries)));
    }
    RemoveScratch(path);
}

TEST(SignatureScanTest, NothingButTheAttributesOfTheFileChanges)
{
    ImageLayout layout = ProbeImage();
    Bytes before = pe_image::BuildImage(layout);
    std::string path = WriteScratch("unchanged.exe", before);
    EXPECT_EQ(kScanFound, ScanWith(path, ProbeSet()));
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    Bytes after(before.size() + 1);
    EXPECT_EQ(before.size(), fread(after.data(), 1, after.size(), file));
    fclose(file);
    after.pop_back();
    EXPECT_TRUE(before == after);
    RemoveScratch(path);
}

}  // namespace
