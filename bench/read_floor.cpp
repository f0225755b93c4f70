// The raw-read floor of the sweep: what the sweep must do at the least, on one thread.
//   read_floor DIR...
// Walks the folders (opendir/readdir, the entry type from readdir, lstat only when it is not
// given) and makes, per regular file, exactly the sweep's system calls for reading it: open,
// fstat, the advice that its reads are random, the positioned reads that ReadBytesForSets asks
// for (none for a file too small for any set, one of up to 4,096 bytes for a file that fails the
// header tests, then the rest up to the furthest pattern end), close. Nothing is matched and
// nothing printed but the counts, so the sweep's time against this one is what its threads,
// matching and output cost on top.
#include "detect/detect.h"
#include "sweep/read_at_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Counts {
    unsigned long files = 0;
    unsigned long reads = 0;
    unsigned long long bytes = 0;
    unsigned checksum = 0;
};

void ReadFile(const std::string& path, const SignatureSet* sets, Counts* counts)
{
    static uint8_t buffer[kFileBytesBufferSize];
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return;
    }
    struct stat status;
    if (fstat(descriptor, &status) == 0) {
        posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);
        FileBytes bytes;
        ReadBytesForSets(PreadFully, &descriptor, static_cast<uint64_t>(status.st_size), sets, 3,
                         buffer, &bytes);
        ++counts->files;
        counts->reads += bytes.reads;
        counts->bytes += bytes.startHave;
        counts->checksum += bytes.startHave > 0 ? bytes.start[bytes.startHave - 1] : 0;
    }
    close(descriptor);
}

void Walk(const std::string& folder, const SignatureSet* sets, Counts* counts)
{
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    while (dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        std::string path = folder + "/" + entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            type = lstat(path.c_str(), &status) != 0 ? DT_UNKNOWN
                   : S_ISDIR(status.st_mode)         ? DT_DIR
                   : S_ISREG(status.st_mode)         ? DT_REG
                                                     : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            Walk(path, sets, counts);
        } else if (type == DT_REG) {
            ReadFile(path, sets, counts);
        }
    }
    closedir(listing);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: read_floor DIR...\n");
        return 2;
    }
    const SignatureSet sets[3] = {SignatureSetA(), SignatureSetC(), SignatureSetE()};
    Counts counts;
    for (int index = 1; index < argc; ++index) {
        Walk(argv[index], sets, &counts);
    }
    std::printf("files %lu reads %lu bytes %llu checksum %u\n", counts.files, counts.reads,
                counts.bytes, counts.checksum);
    return 0;
}
