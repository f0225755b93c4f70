// libFuzzer target of the signature scan (native build, attribute calls through the host
// shim). Each input becomes a real file that is scanned with the three variants' sets and
// with a set the input describes (see scan_fuzz_input.h); every result must equal the
// in-memory model's, and the file's mode must be as before the scan. The sweep's one read
// for all those sets must find exactly what the scan finds, asking for no byte past the
// file's end.
#include "detect/detect.h"
#include "scan_fuzz_input.h"
#include "scan_model.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_path;

void RemoveScratchFile()
{
    if (!g_path.empty()) {
        chmod(g_path.c_str(), 0600);
        unlink(g_path.c_str());
    }
}

// One scratch file per process, in TMPDIR.
const char* ScratchPath()
{
    if (g_path.empty()) {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") +
                              "/purgekit-scan-fuzz.XXXXXX";
        int handle = mkstemp(&pattern[0]);
        if (handle < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(handle);
        g_path = pattern;
        std::atexit(RemoveScratchFile);
    }
    return g_path.c_str();
}

void WriteScratchFile(const uint8_t* bytes, size_t size, bool readOnly)
{
    const char* path = ScratchPath();
    chmod(path, 0600);
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr || (size > 0 && std::fwrite(bytes, 1, size, file) != size) ||
        std::fclose(file) != 0) {
        std::perror("scratch file");
        std::abort();
    }
    chmod(path, readOnly ? 0400 : 0600);
}

mode_t ModeOf(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0 ? status.st_mode : 0;
}

// The set the head describes; patterns come from the file, zero where it ends.
SignatureSet DescribedSet(const scan_fuzz::Head& head, const uint8_t* file, size_t size)
{
    SignatureSet set = {};
    set.count = head.count;
    for (int index = 0; index < 3; ++index) {
        SignatureEntry& entry = set.entries[index];
        entry.length = head.lengths[index];
        entry.offset = head.offsets[index];
        for (uint32_t at = 0; at < kMaxPatternLength && at < entry.length; ++at) {
            uint64_t from = static_cast<uint64_t>(entry.offset) + at;
            entry.pattern[at] = from < size ? file[from] : 0;
        }
        if ((head.mismatch >> index) & 1) {
            uint32_t last = entry.length == 0 ? 0 : (entry.length > 48 ? 47 : entry.length - 1);
            entry.pattern[last] ^= 0x5A;
        }
    }
    return set;
}

void Check(const char* what, const uint8_t* file, size_t size, const SignatureSet& set)
{
    const char* path = ScratchPath();
    mode_t before = ModeOf(path);
    ScanResult got = ScanFileForSignatures(path, set.entries, set.count);
    ScanResult want = ModelScan(file, size, set.entries, set.count);
    if (got != want) {
        std::fprintf(stderr, "scan with %s gives %d, the model %d (file of %zu bytes)\n", what, got,
                     want, size);
        std::abort();
    }
    if (ModeOf(path) != before) {
        std::fprintf(stderr, "scan with %s left mode %o, was %o\n", what,
                     static_cast<unsigned>(ModeOf(path)), static_cast<unsigned>(before));
        std::abort();
    }
}

// The file's bytes as the sweep's reader sees them, with the furthest byte asked for.
struct MemoryFile {
    const uint8_t* bytes;
    size_t size;
    uint64_t furthest;
};

int32_t ReadMemory(void* source, uint32_t offset, uint8_t* into, uint32_t count, uint32_t* delivered)
{
    MemoryFile* file = static_cast<MemoryFile*>(source);
    uint64_t end = static_cast<uint64_t>(offset) + count;
    file->furthest = end > file->furthest ? end : file->furthest;
    *delivered = 0;
    if (offset < file->size) {
        *delivered = static_cast<uint32_t>(end <= file->size ? count : file->size - offset);
        std::memcpy(into, file->bytes + offset, *delivered);
    }
    return 0;
}

void CheckSweep(const uint8_t* file, size_t size, const SignatureSet* sets, uint32_t count)
{
    static uint8_t buffer[kFileBytesBufferSize];
    MemoryFile memory = {file, size, 0};
    FileBytes bytes;
    if (ReadBytesForSets(ReadMemory, &memory, size, sets, count, buffer, &bytes) != 0) {
        std::abort();
    }
    if (memory.furthest > size) {
        std::fprintf(stderr, "the sweep asked for byte %llu of a file of %zu\n",
                     static_cast<unsigned long long>(memory.furthest), size);
        std::abort();
    }
    for (uint32_t index = 0; index < count; ++index) {
        bool sweep = MatchSetInBytes(bytes, sets[index]) == kScanFound;
        bool scan = ScanFileForSignatures(ScratchPath(), sets[index].entries, sets[index].count) == kScanFound;
        if (sweep != scan) {
            std::fprintf(stderr, "set %u: the sweep %s, the scan %s (file of %zu bytes)\n", index,
                         sweep ? "finds it" : "does not", scan ? "finds it" : "does not", size);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    scan_fuzz::Head head = {};
    const uint8_t* file = data;
    size_t fileSize = size;
    if (size >= scan_fuzz::kHeadSize) {
        head = scan_fuzz::DecodeHead(data);
        file = data + scan_fuzz::kHeadSize;
        fileSize = size - scan_fuzz::kHeadSize;
    }
    WriteScratchFile(file, fileSize, (head.flags & scan_fuzz::kReadOnly) != 0);
    Check("set A", file, fileSize, SignatureSetA());
    Check("set C", file, fileSize, SignatureSetC());
    Check("set E", file, fileSize, SignatureSetE());
    SignatureSet sets[4] = {SignatureSetA(), SignatureSetC(), SignatureSetE()};
    uint32_t setCount = 3;
    if (head.flags & scan_fuzz::kUseOwnSet) {
        sets[setCount++] = DescribedSet(head, file, fileSize);
        Check("the described set", file, fileSize, sets[3]);
    }
    CheckSweep(file, fileSize, sets, setCount);
    return 0;
}
