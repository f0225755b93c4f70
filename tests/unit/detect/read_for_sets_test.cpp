// The sweep's one read for all sets: for every file of a generated corpus (true positives,
// near misses, malformed and truncated headers) and each set, it finds a set exactly when
// ScanFileForSignatures gives 1; and it reads no more, and no further, than it must.
#include "scan_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;

// A file held in memory, read through ReadBytesForSets, every read recorded.
struct MemoryFile {
    const Bytes* bytes;
    size_t deliverAtMost;   // as if the file shrank to this size after it was measured
    int32_t failWith;       // the platform error of every read
    uint32_t reads;
    uint64_t furthest;      // end of the furthest byte asked for
};

int32_t ReadMemory(void* source, uint32_t offset, uint8_t* into, uint32_t count, uint32_t* delivered)
{
    MemoryFile* file = static_cast<MemoryFile*>(source);
    ++file->reads;
    uint64_t end = static_cast<uint64_t>(offset) + count;
    file->furthest = end > file->furthest ? end : file->furthest;
    *delivered = 0;
    if (file->failWith != 0) {
        return file->failWith;
    }
    size_t size = file->bytes->size() < file->deliverAtMost ? file->bytes->size() : file->deliverAtMost;
    if (offset < size) {
        *delivered = static_cast<uint32_t>(end <= size ? count : size - offset);
        std::memcpy(into, file->bytes->data() + offset, *delivered);
    }
    return 0;
}

const SignatureSet kSets[3] = {SignatureSetA(), SignatureSetC(), SignatureSetE()};

struct CorpusFile {
    std::string name;
    Bytes bytes;
};

ImageLayout Carrying(const std::vector<int>& variants, uint32_t size, bool pe32Plus = false)
{
    ImageLayout layout;
    layout.pe32Plus = pe32Plus;
    layout.fileSize = size;
    for (int variant : variants) {
        for (const pe_image::Placed& placed : pe_image::PlacedPatterns(kSets[variant])) {
            layout.placed.push_back(placed);
        }
    }
    return layout;
}

// True positives, near misses and malformed headers, each carrying patterns, so that only
// the rules tell them apart.
std::vector<CorpusFile> Corpus()
{
    std::vector<CorpusFile> corpus;
    auto add = [&corpus](const std::string& name, const ImageLayout& layout) {
        corpus.push_back({name, pe_image::BuildImage(layout)});
    };
    const char* names[3] = {"A", "C", "E"};
    for (int variant = 0; variant < 3; ++variant) {
        const uint32_t end = pe_image::EndOfSet(kSets[variant]);
        for (bool pe32Plus : {false, true}) {
            for (uint32_t size : {end - 1, end, end + 1, 0x8000u, 0x10000u, 0x10001u, 0x30000u}) {
                add(std::string(names[variant]) + (pe32Plus ? " PE32+ " : " PE32 ") + std::to_string(size),
                    Carrying({variant}, size, pe32Plus));
            }
        }
        for (int entry = 0; entry < 2; ++entry) {
            ImageLayout changed = Carrying({variant}, 0x8000);
            changed.placed[entry].bytes.back() ^= 0x01;
            add(std::string(names[variant]) + " entry " + std::to_string(entry) + " differs", changed);
            ImageLayout late = Carrying({variant}, 0x8000);
            late.placed[entry].offset += 1;
            add(std::string(names[variant]) + " entry " + std::to_string(entry) + " late", late);
        }
    }
    add("all three sets", Carrying({0, 1, 2}, 0x9000));
    struct Header {
        const char* name;
        void (*change)(ImageLayout*);
    };
    const Header headers[] = {
        {"no MZ", [](ImageLayout* l) { l->mz = false; }},
        {"relocation offset 0x3F", [](ImageLayout* l) { l->relocationTableOffset = 0x3F; }},
        {"relocation offset 0x40", [](ImageLayout* l) { l->relocationTableOffset = 0x40; }},
        {"no PE signature", [](ImageLayout* l) { l->peSignature = false; }},
        {"e_lfanew past the end", [](ImageLayout* l) { l->peOffset = l->fileSize + 16; }},
        {"e_lfanew in the last 48 bytes", [](ImageLayout* l) { l->peOffset = l->fileSize - 48; }},
        {"e_lfanew in the last 49 bytes", [](ImageLayout* l) { l->peOffset = l->fileSize - 49; }},
        {"e_lfanew 0x80000000", [](ImageLayout* l) { l->peOffset = 0x80000000u; }},
        {"e_lfanew behind the first read", [](ImageLayout* l) { l->peOffset = 0x1F00; }},
        {"e_lfanew behind the patterns", [](ImageLayout* l) { l->peOffset = 0x7400; }},
        {"e_lfanew behind the window", [](ImageLayout* l) {
             l->fileSize = 0x14000;
             l->peOffset = 0x11000;
         }},
        {"PE header across the window's end", [](ImageLayout* l) {
             l->fileSize = 0x14000;
             l->peOffset = 0xFFF0;
         }},
        {"entry point past the end", [](ImageLayout* l) {
             l->entryPoint = 0x1000 + l->fileSize;
             l->sections = {{0x1000, l->fileSize, 0x400}};
         }},
        {"entry point at size - 4", [](ImageLayout* l) {
             l->entryPoint = 0x1000 + l->fileSize - 4 - 0x400;
             l->sections = {{0x1000, l->fileSize, 0x400}};
         }},
        {"entry point at size - 3", [](ImageLayout* l) {
             l->entryPoint = 0x1000 + l->fileSize - 3 - 0x400;
             l->sections = {{0x1000, l->fileSize, 0x400}};
         }},
        {"section table past 4,096 bytes", [](ImageLayout* l) {
             l->entryPoint = 0x100000;
             l->sections.assign(120, {0x200000, 0x100, 0x400});
             l->sections.push_back({0x100000, 0x100, 0x7FFF0});   // maps past the end, not seen
         }},
        {"section count beyond the table", [](ImageLayout* l) { l->numberOfSections = 0xFFFF; }},
        {"optional header of 0xFFFF", [](ImageLayout* l) { l->sizeOfOptionalHeader = 0xFFFF; }},
        {"no optional header, no sections", [](ImageLayout* l) {
             l->sizeOfOptionalHeader = 0;
             l->numberOfSections = 0;
         }},
    };
    for (const Header& header : headers) {
        for (uint32_t size : {0x8000u, 0x10000u}) {
            ImageLayout layout = Carrying({0, 1, 2}, size);
            header.change(&layout);
            add(std::string(header.name) + " " + std::to_string(layout.fileSize), layout);
        }
    }
    for (uint32_t size : {0u, 1u, 59u, 60u, 63u, 64u, 200u, 4096u, 4097u}) {
        add("small PE " + std::to_string(size), Carrying({}, size));
        ImageLayout text = Carrying({}, size);
        text.mz = false;
        add("small non-PE " + std::to_string(size), text);
    }
    return corpus;
}

TEST(ReadForSetsTest, EveryCorpusFileAndSetGivesTheScansVerdict)
{
    static uint8_t buffer[kFileBytesBufferSize];
    const std::vector<CorpusFile> corpus = Corpus();
    int found = 0;
    for (const CorpusFile& file : corpus) {
        SCOPED_TRACE(file.name);
        std::string path = scan_test::WriteScratch("corpus.exe", file.bytes);
        MemoryFile memory = {&file.bytes, file.bytes.size(), 0, 0, 0};
        FileBytes bytes;
        ASSERT_EQ(0, ReadBytesForSets(ReadMemory, &memory, file.bytes.size(), kSets, 3, buffer, &bytes));
        for (int set = 0; set < 3; ++set) {
            ScanResult scan = scan_test::ScanWith(path, kSets[set]);
            ScanResult sweep = MatchSetInBytes(bytes, kSets[set]);
            EXPECT_EQ(scan == kScanFound, sweep == kScanFound)
                << "set " << set << ": scan " << scan << ", sweep " << sweep;
            found += sweep == kScanFound;
        }
        EXPECT_LE(memory.furthest, file.bytes.size());
        EXPECT_EQ(memory.reads, bytes.reads);
        scan_test::RemoveScratch(path);
    }
    EXPECT_GT(found, 40) << "the corpus holds true positives";
}

// What one file costs: how many reads, and the furthest byte asked for.
TEST(ReadForSetsTest, ReadsNoMoreAndNoFurtherThanNeeded)
{
    static uint8_t buffer[kFileBytesBufferSize];
    auto withHeader = [](void (*change)(ImageLayout*), uint32_t size) {
        ImageLayout layout = Carrying({2}, size);
        change(&layout);
        return pe_image::BuildImage(layout);
    };
    struct Case {
        const char* name;
        Bytes bytes;
        uint32_t reads;
        uint64_t furthest;
        ScanResult headers;
    };
    const Case cases[] = {
        {"below 60 bytes: nothing read", Bytes(59, 'M'), 0, 0, kScanSkipped},
        {"below the smallest set's end: nothing read", Bytes(15536, 'M'), 0, 0, kScanNotFound},
        {"non-PE: one small read", Bytes(100000, 'x'), 1, 4096, kScanNotPe},
        {"small non-PE: one read of the file", Bytes(20000, 'x'), 1, 4096, kScanNotPe},
        {"PE: the first read and the window up to the end of pattern E",
         withHeader([](ImageLayout*) {}, 0x30000), 2, 28720, kScanHeadersPassed},
        {"PE of 20,000 bytes: the window up to the end of pattern C",
         withHeader([](ImageLayout*) {}, 20000), 2, 19616, kScanHeadersPassed},
        {"no PE signature: the first read only",
         withHeader([](ImageLayout* l) { l->peSignature = false; }, 0x30000), 1, 4096, kScanNotPe},
        {"PE header behind the first read: its fields, its section table, then the window",
         withHeader([](ImageLayout* l) { l->peOffset = 0x1F00; }, 0x30000), 4, 28720, kScanHeadersPassed},
        {"PE header behind the window: its fields and table where they are (up to 0x20000 + 24 + "
         "0xE0 + 40), then the window",
         withHeader([](ImageLayout* l) { l->peOffset = 0x20000; }, 0x30000), 4, 0x20000 + 24 + 0xE0 + 40,
         kScanHeadersPassed},
        {"e_lfanew in the last 48 bytes: nothing more read",
         withHeader([](ImageLayout* l) { l->peOffset = 0x30000 - 48; }, 0x30000), 1, 4096, kScanShortRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFile memory = {&c.bytes, c.bytes.size(), 0, 0, 0};
        FileBytes bytes;
        ASSERT_EQ(0, ReadBytesForSets(ReadMemory, &memory, c.bytes.size(), kSets, 3, buffer, &bytes));
        EXPECT_EQ(c.reads, memory.reads);
        EXPECT_EQ(c.furthest, memory.furthest);
        EXPECT_EQ(c.headers, bytes.headers);
    }
}

// A file that shrinks after it was measured, or whose read fails: what arrived is all that is
// compared, and a failed read is the caller's error.
TEST(ReadForSetsTest, ShrunkFilesAndFailedReads)
{
    static uint8_t buffer[kFileBytesBufferSize];
    const Bytes image = pe_image::BuildImage(Carrying({0, 1, 2}, 0x30000));
    struct Case {
        const char* name;
        size_t deliverAtMost;
        int32_t failWith;
        int32_t status;
        uint32_t foundMask;
    };
    const Case cases[] = {
        {"whole", image.size(), 0, 0, 7},
        {"shrunk behind pattern C", 19616, 0, 0, 3},
        {"shrunk behind pattern A", 15537, 0, 0, 1},
        {"shrunk into the PE header", 0x90, 0, 0, 0},
        {"shrunk to nothing", 0, 0, 0, 0},
        {"every read fails", image.size(), 5, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(buffer, 0xBD, sizeof(buffer));
        MemoryFile memory = {&image, c.deliverAtMost, c.failWith, 0, 0};
        FileBytes bytes;
        EXPECT_EQ(c.status, ReadBytesForSets(ReadMemory, &memory, image.size(), kSets, 3, buffer, &bytes));
        uint32_t mask = 0;
        for (int set = 0; set < 3; ++set) {
            mask |= (c.status == 0 && MatchSetInBytes(bytes, kSets[set]) == kScanFound) ? 1u << set : 0;
        }
        EXPECT_EQ(c.foundMask, mask);
        EXPECT_LE(bytes.startHave, c.deliverAtMost);
    }
}

// Sets of the scan's own edge cases: invalid ones are -2 and read nothing for themselves.
TEST(ReadForSetsTest, SetsThatCannotMatch)
{
    static uint8_t buffer[kFileBytesBufferSize];
    const Bytes image = pe_image::BuildImage(Carrying({0}, 0x20000));
    SignatureSet invalid = kSets[0];
    invalid.count = 4;
    SignatureSet beyondWindow = pe_image::MakeSet({{65530, Bytes(7, 0)}});
    SignatureSet lengthZero = pe_image::MakeSet({{100, Bytes()}});
    const SignatureSet sets[] = {invalid, beyondWindow, lengthZero};
    MemoryFile memory = {&image, image.size(), 0, 0, 0};
    FileBytes bytes;
    ASSERT_EQ(0, ReadBytesForSets(ReadMemory, &memory, image.size(), sets, 3, buffer, &bytes));
    EXPECT_EQ(kScanInvalidArguments, MatchSetInBytes(bytes, invalid));
    EXPECT_EQ(kScanNotFound, MatchSetInBytes(bytes, beyondWindow));
    EXPECT_EQ(kScanFound, MatchSetInBytes(bytes, lengthZero));
    EXPECT_EQ(4096u, memory.furthest) << "only the headers were needed";
}

}  // namespace
