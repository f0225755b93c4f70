// One file on POSIX: opened only if it is a regular file (non-blocking and without following
// a link, so a FIFO or device put in its place is never waited on), sized by fstat, read
// with pread for all three sets at once, closed. Nothing about the file is changed. The file's
// identity is kept from the open file; for a found file that is to be moved or removed, its
// own path too, so that the action reaches that very file again. The reads are marked random:
// the sweep wants a few KiB at the start of each file, and the kernel's readahead after a first
// read at offset 0 fetched many times that from a cold disk (for the benchmark's corpus, 1.2 GB
// where the sweep wanted 0.18 GB).
#include "sweep/found_file_posix.h"
#include "sweep/read_at_posix.h"
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

// The full path of the open file without links, as the kernel names it (the file found
// through a link: the linked file). RETURNS 0 with *path, or the error.
int32_t OwnPath(int descriptor, const struct stat& status, const std::string& found,
                std::string* path)
{
    if (status.st_nlink == 0) {
        return ENOENT;   // deleted since it was opened
    }
    char link[64];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", descriptor);
    char target[PATH_MAX + 1];
    ssize_t length = readlink(link, target, sizeof(target));
    if (length > 0 && length < static_cast<ssize_t>(sizeof(target)) && target[0] == '/') {
        path->assign(target, static_cast<size_t>(length));
        return 0;
    }
    // No /proc: resolved from the path found; the action checks it is the file scanned.
    char* resolved = realpath(found.c_str(), nullptr);
    if (resolved == nullptr) {
        return errno;
    }
    path->assign(resolved);
    free(resolved);
    return 0;
}

}  // namespace

void ScanFile(SweepContext* context, const WorkItem& item, uint8_t* buffer, FileOutcome* outcome)
{
    outcome->follow = item.follow;
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (item.follow ? 0 : O_NOFOLLOW);
    int descriptor = open(item.path.c_str(), flags);
    if (descriptor < 0) {
        if (errno != ELOOP) {   // ELOOP: a link now stands there, and links are not followed
            outcome->error = errno;
        }
        return;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        outcome->error = errno;
    } else if (S_ISREG(status.st_mode)) {
        IdentityOf(status, &outcome->identity);
        posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);   // advice only: its result is moot
        ReadAndMatchSets(context, PreadFully, &descriptor, static_cast<uint64_t>(status.st_size),
                         buffer, outcome);
        const SweepOptions& options = *context->options;
        if (outcome->variants != 0 && (options.haveMove || options.remove)) {
            outcome->actionError = OwnPath(descriptor, status, item.path, &outcome->ownPath);
        }
    }
    close(descriptor);
}
