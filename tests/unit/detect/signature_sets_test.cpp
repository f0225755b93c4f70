// The three variants' sets: their bytes, lengths and offsets, and how they meet real images.
#include "scan_test_support.h"

#include <gtest/gtest.h>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;
using scan_test::RemoveScratch;
using scan_test::ScanWith;
using scan_test::WriteScratchImage;

struct Variant {
    const char* name;
    SignatureSet (*make)();
    uint32_t minimumSize;
};

const Variant kVariants[] = {
    {"A", SignatureSetA, 15537},
    {"C", SignatureSetC, 19616},
    {"E", SignatureSetE, 28720},
};

TEST(SignatureSetsTest, LengthsOffsetsAndEdgeBytes)
{
    struct Expected {
        uint32_t length;
        uint32_t offset;
        uint8_t firstByte;
        uint8_t lastByte;
    };
    const Expected expected[3][2] = {
        {{6, 15531, 0xFF, 0x00}, {48, 15328, 0x55, 0x00}},
        {{35, 18973, 0x55, 0x50}, {48, 19568, 0x85, 0x4F}},
        {{36, 28444, 0x55, 0x57}, {36, 28684, 0x55, 0xF7}},
    };
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(kVariants[variant].name);
        SignatureSet set = kVariants[variant].make();
        ASSERT_EQ(2u, set.count);
        for (int index = 0; index < 2; ++index) {
            const SignatureEntry& entry = set.entries[index];
            const Expected& want = expected[variant][index];
            EXPECT_EQ(want.length, entry.length) << "entry " << index;
            EXPECT_EQ(want.offset, entry.offset) << "entry " << index;
            EXPECT_EQ(want.firstByte, entry.pattern[0]) << "entry " << index;
            EXPECT_EQ(want.lastByte, entry.pattern[entry.length - 1]) << "entry " << index;
            for (uint32_t at = entry.length; at < kMaxPatternLength; ++at) {
                EXPECT_EQ(0, entry.pattern[at]) << "entry " << index << " storage byte " << at;
            }
        }
        const SignatureEntry& unused = set.entries[2];
        EXPECT_EQ(0u, unused.length);
        EXPECT_EQ(0u, unused.offset);
        EXPECT_EQ(kVariants[variant].minimumSize, pe_image::EndOfSet(set));
    }
}

TEST(SignatureSetsTest, VariantAPatternsInFull)
{
    SignatureSet set = SignatureSetA();
    const Bytes first = {0xFF, 0x15, 0x80, 0x90, 0x40, 0x00};
    const Bytes second = {0x55, 0x8B, 0xEC, 0x81, 0xEC, 0xC8, 0x03, 0x00, 0x00, 0x53, 0x56, 0x57,
                          0x6A, 0x05, 0x59, 0xBE, 0x80, 0xD2, 0x40, 0x00, 0x8D, 0x7D, 0xD0, 0x8D,
                          0x85, 0x38, 0xFC, 0xFF, 0xFF, 0xF3, 0xA5, 0x66, 0xA5, 0x50, 0x6A, 0x02,
                          0xA4, 0xFF, 0x15, 0x80, 0x91, 0x40, 0x00, 0xBE, 0xD8, 0xAD, 0x40, 0x00};
    EXPECT_TRUE(Bytes(set.entries[0].pattern, set.entries[0].pattern + 6) == first);
    EXPECT_TRUE(Bytes(set.entries[1].pattern, set.entries[1].pattern + 48) == second);
    // The comparison order is the entry order: the first entry lies behind the second.
    EXPECT_EQ(203u, set.entries[0].offset - set.entries[1].offset);
}

TEST(SignatureSetsTest, EachVariantIsFoundByItsOwnSetOnly)
{
    for (const Variant& variant : kVariants) {
        for (bool pe32Plus : {false, true}) {
            SCOPED_TRACE(std::string(variant.name) + (pe32Plus ? " PE32+" : " PE32"));
            for (uint32_t size : {variant.minimumSize, variant.minimumSize + 1, 0x10000u, 0x30000u}) {
                ImageLayout layout = pe_image::ImageCarrying(variant.make(), pe32Plus, size);
                std::string path = WriteScratchImage("variant.exe", layout);
                for (const Variant& other : kVariants) {
                    ScanResult want = &other == &variant ? kScanFound : kScanNotFound;
                    EXPECT_EQ(want, ScanWith(path, other.make()))
                        << "size " << size << ", set " << other.name;
                }
                RemoveScratch(path);
            }
        }
    }
}

TEST(SignatureSetsTest, NearMissesAreNotFound)
{
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        const SignatureSet set = variant.make();
        struct Case {
            std::string name;
            ImageLayout layout;
            ScanResult expected;
        };
        std::vector<Case> cases;
        ImageLayout base = pe_image::ImageCarrying(set, false, 0x8000);
        cases.push_back({"the minimum size less one byte",
                         pe_image::ImageCarrying(set, false, variant.minimumSize - 1), kScanNotFound});
        for (int missing = 0; missing < 2; ++missing) {
            ImageLayout one = base;
            one.placed.erase(one.placed.begin() + missing);
            cases.push_back({"only one pattern, entry " + std::to_string(1 - missing), one,
                             kScanNotFound});
            for (bool atEnd : {false, true}) {
                ImageLayout changed = base;
                Bytes& bytes = changed.placed[missing].bytes;
                bytes[atEnd ? bytes.size() - 1 : 0] ^= 0x01;
                cases.push_back({"entry " + std::to_string(missing) + (atEnd ? " last" : " first") +
                                     " byte differs",
                                 changed, kScanNotFound});
            }
            ImageLayout shifted = base;
            shifted.placed[missing].offset += 1;
            cases.push_back({"entry " + std::to_string(missing) + " one byte late", shifted,
                             kScanNotFound});
        }
        ImageLayout noMz = base;
        noMz.mz = false;
        cases.push_back({"patterns in a file without MZ", noMz, kScanNotPe});
        ImageLayout noPe = base;
        noPe.peSignature = false;
        cases.push_back({"patterns in a file without PE signature", noPe, kScanNotPe});
        ImageLayout lowRelocation = base;
        lowRelocation.relocationTableOffset = 0x3F;
        cases.push_back({"patterns behind relocation-table offset 0x3F", lowRelocation, kScanNotPe});
        ImageLayout skipped = base;
        skipped.entryPoint = 0x1000 + 0x8000;   // maps to 0x8400, beyond the file
        skipped.sections = {{0x1000, 0x8000, 0x400}};
        cases.push_back({"patterns behind an entry point past the end", skipped, kScanSkipped});
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            std::string path = WriteScratchImage("near_miss.exe", c.layout);
            EXPECT_EQ(c.expected, ScanWith(path, set));
            RemoveScratch(path);
        }
    }
}

// The plain text of a non-PE file carrying the patterns: no "MZ" at all.
TEST(SignatureSetsTest, RawPatternsWithoutAnyHeaderAreNotPe)
{
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        ImageLayout layout = pe_image::ImageCarrying(variant.make(), false, 0x8000);
        Bytes bytes = pe_image::BuildImage(layout);
        for (size_t at = 0; at < 0x400; ++at) {
            bytes[at] = 0;
        }
        std::string path = scan_test::WriteScratch("not_pe.bin", bytes);
        EXPECT_EQ(kScanNotPe, ScanWith(path, variant.make()));
        RemoveScratch(path);
    }
}

}  // namespace
