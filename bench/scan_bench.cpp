// Benchmark of the signature scan over a folder tree of files, on one thread.
//   scan_bench compare RUNS DIR...  after one warm-up round, RUNS rounds of: a raw-reads
//       pass, then a scan pass per set (A, C, E: every file with one set, as the memory
//       passes do), then an attribute-calls pass; prints the median seconds of each, wall
//       clock and CPU time, with what the passes saw
//   scan_bench rules                the three sets as yara rules with the scan's header tests
//   scan_bench ldb                  the three sets as clamscan logical signatures (an .ldb file)
//                                   for PE files, each pattern at its absolute offset
// The raw-reads pass does only what one scan reads per file, and nothing else: open, size,
// 256 bytes at 0, 4,096 at e_lfanew, the window at 0, close. The attribute-calls pass makes
// only the scan's attribute calls per file (read, set to normal, read again).
#include "detect/detect.h"

#include <windows.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

void Walk(const std::string& path, std::vector<std::string>* files)
{
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        return;
    }
    if (S_ISREG(status.st_mode)) {
        files->push_back(path);
        return;
    }
    if (!S_ISDIR(status.st_mode)) {
        return;
    }
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.push_back(path + "/" + entry->d_name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Walk(name, files);
    }
}

struct Seconds {
    double wall;
    double cpu;
};

// Wall-clock and process CPU time (user + system) of one pass.
template <typename Pass>
Seconds Time(Pass pass)
{
    auto wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    pass();
    std::chrono::duration<double> wallTaken = std::chrono::steady_clock::now() - wall;
    return {wallTaken.count(), static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC};
}

// What the passes saw, so none of their work can be left out.
struct Seen {
    std::map<int, long> results;
    long found[3] = {};
    unsigned long long bytes = 0;
    unsigned checksum = 0;
    unsigned long changed = 0;
};

void ScanPass(const std::vector<std::string>& files, const SignatureSet& set, int index, Seen* seen)
{
    for (const std::string& path : files) {
        ScanResult result = ScanFileForSignatures(path.c_str(), set.entries, set.count);
        ++seen->results[result];
        seen->found[index] += result == kScanFound ? 1 : 0;
    }
}

void RawPass(const std::vector<std::string>& files, Seen* seen)
{
    static uint8_t dos[kDosHeaderReadSize];
    static uint8_t pe[kPeHeaderReadSize];
    static uint8_t window[kWindowSize];
    for (const std::string& path : files) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            continue;
        }
        setvbuf(file, nullptr, _IONBF, 0);   // as the scan reads
        std::fseek(file, 0, SEEK_END);
        long size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        size_t got = std::fread(dos, 1, sizeof(dos), file);
        uint32_t lfanew = got >= 64 ? (dos[60] | (dos[61] << 8) | (dos[62] << 16) |
                                       (static_cast<uint32_t>(dos[63]) << 24))
                                    : 0;
        std::fseek(file, static_cast<long>(lfanew & 0x7FFFFFFF), SEEK_SET);
        size_t gotPe = std::fread(pe, 1, sizeof(pe), file);
        size_t windowSize = size < static_cast<long>(kWindowSize) ? static_cast<size_t>(size) : kWindowSize;
        std::fseek(file, 0, SEEK_SET);
        size_t gotWindow = std::fread(window, 1, windowSize, file);
        std::fclose(file);
        seen->bytes += got + gotPe + gotWindow;
        seen->checksum += dos[0] + pe[0] + (gotWindow > 0 ? window[gotWindow - 1] : 0);
    }
}

void AttributePass(const std::vector<std::string>& files, Seen* seen)
{
    for (const std::string& path : files) {
        DWORD kept = GetFileAttributesA(path.c_str());
        if ((kept & FILE_ATTRIBUTE_NORMAL) == 0) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        seen->changed += GetFileAttributesA(path.c_str()) != kept ? 1 : 0;
    }
}

Seconds Median(std::vector<Seconds> runs)
{
    std::vector<double> wall, cpu;
    for (const Seconds& run : runs) {
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    size_t middle = (runs.size() - 1) / 2;
    return {wall[middle], cpu[middle]};
}

int Compare(int runs, const std::vector<std::string>& files)
{
    const SignatureSet sets[3] = {SignatureSetA(), SignatureSetC(), SignatureSetE()};
    std::vector<Seconds> raw, scan, attributes;
    for (int round = 0; round <= runs; ++round) {
        Seen seen;
        Seconds rawRound = Time([&] { RawPass(files, &seen); });
        Seconds scanRound = Time([&] {
            for (int index = 0; index < 3; ++index) {
                ScanPass(files, sets[index], index, &seen);
            }
        });
        Seconds attributeRound = Time([&] { AttributePass(files, &seen); });
        if (round == 0) {   // the warm-up round: report what the passes saw
            std::printf("files %zu\nscan found A %ld C %ld E %ld; results", files.size(),
                        seen.found[0], seen.found[1], seen.found[2]);
            for (const auto& entry : seen.results) {
                std::printf(" %d:%ld", entry.first, entry.second);
            }
            std::printf("\nraw reads %llu bytes (checksum %u); attributes changed %lu\n", seen.bytes,
                        seen.checksum, seen.changed);
            continue;
        }
        raw.push_back(rawRound);
        scan.push_back(scanRound);
        attributes.push_back(attributeRound);
    }
    Seconds rawMedian = Median(raw), scanMedian = Median(scan), attributeMedian = Median(attributes);
    std::printf("seconds raw %.4f %.4f\n", rawMedian.wall, rawMedian.cpu);
    std::printf("seconds scan3 %.4f %.4f\n", scanMedian.wall, scanMedian.cpu);
    std::printf("seconds attributes %.4f %.4f\n", attributeMedian.wall, attributeMedian.cpu);
    return 0;
}

void PrintRule(const char* name, const SignatureSet& set)
{
    std::printf("rule %s\n{\n    strings:\n", name);
    for (uint32_t index = 0; index < set.count; ++index) {
        std::printf("        $p%u = {", index);
        for (uint32_t at = 0; at < set.entries[index].length; ++at) {
            std::printf(" %02X", set.entries[index].pattern[at]);
        }
        std::printf(" }\n");
    }
    std::printf("    condition:\n"
                "        uint16(0) == 0x5A4D and uint16(24) >= 0x40 and\n"
                "        uint32(uint32(60)) == 0x00004550");
    for (uint32_t index = 0; index < set.count; ++index) {
        std::printf(" and\n        $p%u at %u", index, set.entries[index].offset);
    }
    std::printf("\n}\n\n");
}

// One logical signature: the PE target, every pattern (subsignature) at its absolute offset.
void PrintLogicalSignature(const char* name, const SignatureSet& set)
{
    std::printf("%s;Engine:51-255,Target:1;", name);
    for (uint32_t index = 0; index < set.count; ++index) {
        std::printf(index == 0 ? "%u" : "&%u", index);
    }
    for (uint32_t index = 0; index < set.count; ++index) {
        std::printf(";%u:", set.entries[index].offset);
        for (uint32_t at = 0; at < set.entries[index].length; ++at) {
            std::printf("%02x", set.entries[index].pattern[at]);
        }
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "rules" && argc == 2) {
        PrintRule("TROJ_VORN_A", SignatureSetA());
        PrintRule("TROJ_VORN_C", SignatureSetC());
        PrintRule("TROJ_VORN_E", SignatureSetE());
        return 0;
    }
    if (mode == "ldb" && argc == 2) {
        PrintLogicalSignature("TROJ_VORN_A", SignatureSetA());
        PrintLogicalSignature("TROJ_VORN_C", SignatureSetC());
        PrintLogicalSignature("TROJ_VORN_E", SignatureSetE());
        return 0;
    }
    if (mode != "compare" || argc < 4 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: scan_bench compare RUNS DIR... | scan_bench rules | scan_bench ldb\n");
        return 2;
    }
    std::vector<std::string> files;
    for (int index = 3; index < argc; ++index) {
        Walk(argv[index], &files);
    }
    return Compare(std::atoi(argv[2]), files);
}
