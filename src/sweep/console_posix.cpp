// The sweep's console and error texts on POSIX.
#include "sweep/sweep_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

void WriteStream(int stream, const char* bytes, size_t size)
{
    int descriptor = stream == 2 ? STDERR_FILENO : STDOUT_FILENO;
    while (size > 0) {
        ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;   // a closed pipe or full disk: nothing better to do with the text
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

bool StderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

// The sweep reads little of each file, so on a cold cache (a file server, a disk image) its
// threads wait on the device, not the processor: 32 reads in flight, as deep as a disk's
// queue commonly goes, made a cold sweep about twice as fast as one thread per core and cost
// nothing on a warm cache (bench/run_sweep_bench.sh). Machines with more cores get one each.
uint32_t DefaultThreadCount()
{
    constexpr long kReadsInFlight = 32;
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    long threads = cores > kReadsInFlight ? cores : kReadsInFlight;
    return threads > static_cast<long>(kMaxThreads) ? kMaxThreads : static_cast<uint32_t>(threads);
}

FILE* OpenListFile(const std::string& name, int32_t* error)
{
    if (name == "-") {
        return stdin;
    }
    FILE* file = std::fopen(name.c_str(), "rbe");
    if (file == nullptr) {
        *error = errno;
    }
    return file;
}

int32_t ReadListChunk(FILE* list, char* into, size_t size, size_t* got)
{
    for (;;) {
        ssize_t read_ = read(fileno(list), into, size);
        if (read_ >= 0) {
            *got = static_cast<size_t>(read_);
            return 0;
        }
        if (errno != EINTR) {
            *got = 0;
            return errno;
        }
    }
}

void CommandLineArguments(int argc, char** argv, std::vector<std::string>* arguments)
{
    for (int index = 1; index < argc; ++index) {
        arguments->push_back(argv[index]);
    }
}
