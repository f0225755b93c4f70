// One file on POSIX: opened only if it is a regular file (non-blocking and without following
// a link, so a FIFO or device put in its place is never waited on), sized by fstat, read
// with pread for all three sets at once, closed. Nothing about the file is changed.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int32_t ReadAt(void* source, uint32_t offset, uint8_t* into, uint32_t count, uint32_t* delivered)
{
    int descriptor = *static_cast<int*>(source);
    *delivered = 0;
    while (*delivered < count) {
        ssize_t got = pread(descriptor, into + *delivered, count - *delivered,
                            static_cast<off_t>(offset) + *delivered);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;   // the end of the file
        }
        *delivered += static_cast<uint32_t>(got);
    }
    return 0;
}

}  // namespace

void ScanFile(SweepContext* context, const WorkItem& item, uint8_t* buffer, FileOutcome* outcome)
{
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
        outcome->size = static_cast<uint64_t>(status.st_size);
        FileBytes bytes;
        int32_t error = ReadBytesForSets(ReadAt, &descriptor, outcome->size, context->sets,
                                         kVariantCount, buffer, &bytes);
        if (error != 0) {
            outcome->error = error;
        } else {
            RecordMatches(context, bytes, outcome);
        }
    }
    close(descriptor);
}
