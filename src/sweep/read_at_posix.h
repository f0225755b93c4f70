// The sweep's positioned read on POSIX, shared with the benchmark's read floor so that both
// make the very same system calls.
#pragma once

#include <errno.h>
#include <unistd.h>

#include <cstdint>

// A ReadAtFunction over an open file descriptor (`source` points at it): pread until `count`
// bytes arrived or the file ends. RETURNS 0, or errno of a failed read.
inline int32_t PreadFully(void* source, uint32_t offset, uint8_t* into, uint32_t count,
                          uint32_t* delivered)
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
