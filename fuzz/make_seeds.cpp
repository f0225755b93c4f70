// Writes the seed corpus of the scan fuzz target: images that carry each variant's
// patterns as PE32 and PE32+, their near misses, header edges, and described sets at the
// window's bounds. The images come from the same generator as the unit tests.
//   make_seeds FOLDER
#include "pe_image.h"
#include "scan_fuzz_input.h"

#include <cstdio>
#include <string>

namespace {

using pe_image::Bytes;
using pe_image::ImageLayout;

int g_written = 0;
std::string g_folder;

void WriteSeed(const std::string& name, const scan_fuzz::Head& head, const Bytes& file)
{
    Bytes seed(scan_fuzz::kHeadSize);
    scan_fuzz::EncodeHead(head, seed.data());
    seed.insert(seed.end(), file.begin(), file.end());
    if (!pe_image::WriteBytes(g_folder + "/" + name, seed)) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", name.c_str());
        return;
    }
    ++g_written;
}

void WriteImageSeed(const std::string& name, const ImageLayout& layout)
{
    WriteSeed(name, scan_fuzz::Head{}, pe_image::BuildImage(layout));
}

// A described set of one to three entries over an image.
scan_fuzz::Head Described(uint8_t count, std::initializer_list<std::pair<uint8_t, uint32_t>> entries,
                          bool readOnly = false, uint8_t mismatch = 0)
{
    scan_fuzz::Head head = {};
    head.flags = scan_fuzz::kUseOwnSet | (readOnly ? scan_fuzz::kReadOnly : 0);
    head.count = count;
    int index = 0;
    for (const auto& entry : entries) {
        head.lengths[index] = entry.first;
        head.offsets[index] = entry.second;
        ++index;
    }
    head.mismatch = mismatch;
    return head;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    g_folder = argv[1];
    struct Variant {
        const char* name;
        SignatureSet (*make)();
    };
    const Variant variants[] = {{"a", SignatureSetA}, {"c", SignatureSetC}, {"e", SignatureSetE}};
    for (const Variant& variant : variants) {
        const SignatureSet set = variant.make();
        const uint32_t end = pe_image::EndOfSet(set);
        for (bool plus : {false, true}) {
            std::string stem = std::string("variant-") + variant.name + (plus ? "-pe32plus" : "-pe32");
            WriteImageSeed(stem, pe_image::ImageCarrying(set, plus, end));
            WriteImageSeed(stem + "-short", pe_image::ImageCarrying(set, plus, end - 1));
            ImageLayout one = pe_image::ImageCarrying(set, plus, 0x8000);
            one.placed.pop_back();
            WriteImageSeed(stem + "-one-pattern", one);
            ImageLayout noPe = pe_image::ImageCarrying(set, plus, end);
            noPe.peSignature = false;
            WriteImageSeed(stem + "-no-pe", noPe);
        }
    }
    ImageLayout base;
    base.fileSize = 0x2000;
    WriteImageSeed("plain", base);
    ImageLayout lowRelocation = base;
    lowRelocation.relocationTableOffset = 0x3F;
    WriteImageSeed("relocation-0x3f", lowRelocation);
    ImageLayout nearEnd = base;
    nearEnd.peOffset = base.fileSize - 49;
    WriteImageSeed("lfanew-49-from-end", nearEnd);
    ImageLayout negative = base;
    negative.peOffset = 0x80000000u;
    WriteImageSeed("lfanew-negative", negative);
    ImageLayout cutTable = base;
    cutTable.peOffset = base.fileSize - (24 + pe_image::kPe32OptionalHeaderSize + 30);
    WriteImageSeed("section-header-cut", cutTable);
    ImageLayout manySections = base;
    manySections.sections.assign(120, {0x100000, 0x200, 0x400});   // none holds the entry point
    manySections.numberOfSections = 0xFFFF;
    WriteImageSeed("many-sections", manySections);
    ImageLayout distantTable = base;
    distantTable.sections = {{0x1000, 0x1000, 0x40000}};
    distantTable.sizeOfOptionalHeader = 0xFFFF;
    WriteImageSeed("section-table-beyond-the-read", distantTable);
    ImageLayout tableAtEnd = base;
    tableAtEnd.peOffset = base.fileSize - 60;
    tableAtEnd.sizeOfOptionalHeader = 0x10;
    WriteImageSeed("section-table-beyond-the-file", tableAtEnd);
    ImageLayout entryAtEnd = base;
    entryAtEnd.sections = {{0x1000, base.fileSize - 0x400, 0x400}};
    entryAtEnd.entryPoint = 0x1000 + base.fileSize - 4 - 0x400;
    WriteImageSeed("entry-at-size-minus-4", entryAtEnd);

    Bytes small60(60, 0);
    small60[0] = 'M';
    small60[1] = 'Z';
    small60[24] = 0x40;
    WriteSeed("mz-60-bytes", scan_fuzz::Head{}, small60);
    WriteSeed("mz-59-bytes", scan_fuzz::Head{}, Bytes(small60.begin(), small60.end() - 1));

    // Described sets at the bounds of the window and the file.
    ImageLayout large = base;
    large.fileSize = 0x11000;
    Bytes largeImage = pe_image::BuildImage(large);
    WriteSeed("set-ends-on-65535", Described(1, {{16, 65536 - 16}}), largeImage);
    WriteSeed("set-ends-on-65536", Described(1, {{16, 65536 - 15}}), largeImage);
    WriteSeed("set-length-0-at-65536", Described(2, {{0, 65536}, {4, 0}}), largeImage);
    Bytes plainImage = pe_image::BuildImage(base);
    WriteSeed("set-last-byte", Described(3, {{48, 0x2000 - 48}, {2, 0}, {4, 0x80}}), plainImage);
    WriteSeed("set-first-fails", Described(2, {{8, 0x100}, {8, 0x200}}, false, 0x01), plainImage);
    WriteSeed("set-read-only", Described(1, {{8, 0x100}}, true), plainImage);
    WriteSeed("set-count-4", Described(4, {{8, 0x100}}), plainImage);
    WriteSeed("set-length-49", Described(2, {{8, 0x100}, {49, 0x200}}), plainImage);
    std::printf("wrote %d seeds to %s\n", g_written, g_folder.c_str());
    return g_written > 0 ? 0 : 1;
}
