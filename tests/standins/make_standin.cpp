// Host tool: makes a variant's runnable stand-in from the idle program.
//   make_standin IDLE_EXE OUTPUT_EXE A|C|E
// Writes the variant's patterns into the idle program's pad section at their absolute file
// offsets, then checks the result with the scan itself: its own set must give 1 and the two
// other sets 0. Exit code 0 on success; on any failure the output is removed.
#include "detect/detect.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kPadSectionName[8] = {'.', 's', 'i', 'g', 'p', 'a', 'd', 0};
constexpr uint32_t kExecutableSection = 0x20000000;   // IMAGE_SCN_MEM_EXECUTE
constexpr uint32_t kCodeSection = 0x00000020;         // IMAGE_SCN_CNT_CODE

bool ReadAll(const char* path, Bytes* bytes)
{
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

bool WriteAll(const char* path, const Bytes& bytes)
{
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool Read16(const Bytes& bytes, uint64_t at, uint32_t* out)
{
    if (at + 2 > bytes.size()) {
        return false;
    }
    *out = bytes[at] | (bytes[at + 1] << 8);
    return true;
}

bool Read32(const Bytes& bytes, uint64_t at, uint32_t* out)
{
    if (at + 4 > bytes.size()) {
        return false;
    }
    *out = static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
    return true;
}

struct PadSection {
    uint32_t start;   // file offset of its raw data
    uint32_t size;    // SizeOfRawData
};

// The pad section's raw data in the file; false when the program has no such section, or
// when it is code.
bool FindPadSection(const Bytes& image, PadSection* pad, std::string* why)
{
    uint32_t peOffset = 0;
    uint32_t sectionCount = 0;
    uint32_t optionalSize = 0;
    if (!Read32(image, 60, &peOffset) || !Read16(image, peOffset + 6ull, &sectionCount) ||
        !Read16(image, peOffset + 20ull, &optionalSize)) {
        *why = "headers cut off";
        return false;
    }
    uint64_t table = peOffset + 24ull + optionalSize;
    for (uint32_t index = 0; index < sectionCount; ++index) {
        uint64_t header = table + index * 40ull;
        if (header + 40 > image.size()) {
            *why = "section table cut off";
            return false;
        }
        if (std::memcmp(&image[header], kPadSectionName, sizeof(kPadSectionName)) != 0) {
            continue;
        }
        uint32_t characteristics = 0;
        Read32(image, header + 16, &pad->size);
        Read32(image, header + 20, &pad->start);
        Read32(image, header + 36, &characteristics);
        if ((characteristics & (kExecutableSection | kCodeSection)) != 0) {
            *why = "the pad section is code";
            return false;
        }
        if (static_cast<uint64_t>(pad->start) + pad->size > image.size()) {
            *why = "the pad section's raw data lies past the end of the file";
            return false;
        }
        return true;
    }
    *why = "no .sigpad section";
    return false;
}

SignatureSet SetOf(char variant)
{
    switch (variant) {
    case 'A':
        return SignatureSetA();
    case 'C':
        return SignatureSetC();
    default:
        return SignatureSetE();
    }
}

int Fail(const char* output, const std::string& why)
{
    std::fprintf(stderr, "make_standin: %s: %s\n", output, why.c_str());
    std::remove(output);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || std::strlen(argv[3]) != 1 || std::strchr("ACE", argv[3][0]) == nullptr) {
        std::fprintf(stderr, "usage: make_standin IDLE_EXE OUTPUT_EXE A|C|E\n");
        return 2;
    }
    const char* output = argv[2];
    const char variant = argv[3][0];
    Bytes image;
    if (!ReadAll(argv[1], &image)) {
        return Fail(output, std::string("cannot read ") + argv[1]);
    }
    PadSection pad = {};
    std::string why;
    if (!FindPadSection(image, &pad, &why)) {
        return Fail(output, why);
    }
    const SignatureSet set = SetOf(variant);
    for (uint32_t index = 0; index < set.count; ++index) {
        const SignatureEntry& entry = set.entries[index];
        // The pattern must lie in the pad, behind its first 64 bytes (the program's marker).
        if (entry.offset < pad.start + 64 || entry.offset + entry.length > pad.start + pad.size) {
            return Fail(output, "pattern " + std::to_string(index) + " at " +
                                    std::to_string(entry.offset) + " lies outside the pad section");
        }
        std::memcpy(&image[entry.offset], entry.pattern, entry.length);
    }
    if (!WriteAll(output, image)) {
        return Fail(output, "cannot write");
    }
    const char variants[] = {'A', 'C', 'E'};
    for (char other : variants) {
        const SignatureSet otherSet = SetOf(other);
        ScanResult result = ScanFileForSignatures(output, otherSet.entries, otherSet.count);
        ScanResult wanted = other == variant ? kScanFound : kScanNotFound;
        if (result != wanted) {
            return Fail(output, std::string("set ") + other + " gives " + std::to_string(result) +
                                    ", not " + std::to_string(wanted));
        }
    }
    std::printf("stand-in %c: %s (%zu bytes, pad at %u..%u)\n", variant, output, image.size(),
                pad.start, pad.start + pad.size);
    return 0;
}
