// The quarantine's files on POSIX: openat relative to the folder's descriptor, O_NOFOLLOW
// (and O_NONBLOCK, so that nothing put there can make the sweep wait), regular files only;
// the manifest locked with flock against the other sweeps of this host.
#include "sweep/quarantine_files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const int32_t kQuarantineNameTaken = EEXIST;
const int32_t kQuarantineOtherDevice = EXDEV;

namespace {

int Folder(const SweepContext* context)
{
    return static_cast<int>(context->quarantineFolder);
}

int Descriptor(QuarantineFile file)
{
    return static_cast<int>(file);
}

}  // namespace

int32_t OpenInQuarantine(SweepContext* context, const std::string& name, QuarantineOpen mode,
                         QuarantineFile* file)
{
    int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    switch (mode) {
    case QuarantineOpen::kCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    case QuarantineOpen::kRead: flags |= O_RDONLY; break;
    case QuarantineOpen::kAppend: flags |= O_RDWR | O_APPEND | O_CREAT; break;
    }
    int descriptor = openat(Folder(context), name.c_str(), flags, 0600);
    if (descriptor < 0) {
        return errno;
    }
    struct stat status;
    int32_t error = fstat(descriptor, &status) != 0 ? errno : S_ISREG(status.st_mode) ? 0 : EINVAL;
    if (error == 0 && mode == QuarantineOpen::kAppend) {
        // Other sweeps of this host append to the same manifest. A file system without locks
        // (ENOLCK) still takes whole appends: each line is one write.
        while (flock(descriptor, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    if (error != 0) {
        close(descriptor);
        return error;
    }
    *file = descriptor;
    return 0;
}

int32_t ReadQuarantineFile(QuarantineFile file, uint64_t offset, char* into, uint32_t size,
                           uint32_t* got)
{
    *got = 0;
    while (*got < size) {
        ssize_t read =
            pread(Descriptor(file), into + *got, size - *got, static_cast<off_t>(offset + *got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return errno;
        }
        if (read == 0) {
            break;
        }
        *got += static_cast<uint32_t>(read);
    }
    return 0;
}

int32_t WriteQuarantineFile(QuarantineFile file, const char* bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = write(Descriptor(file), bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int32_t QuarantineFileSize(QuarantineFile file, uint64_t* size)
{
    struct stat status;
    if (fstat(Descriptor(file), &status) != 0) {
        return errno;
    }
    *size = static_cast<uint64_t>(status.st_size);
    return 0;
}

int32_t TruncateQuarantineFile(QuarantineFile file, uint64_t size)
{
    return ftruncate(Descriptor(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int32_t FlushQuarantineFile(QuarantineFile file)
{
    return fsync(Descriptor(file)) == 0 ? 0 : errno;
}

void CloseQuarantineFile(QuarantineFile file)
{
    close(Descriptor(file));
}

int32_t FlushQuarantineFolder(SweepContext* context)
{
    return fsync(Folder(context)) == 0 ? 0 : errno;
}

int32_t DeleteInQuarantine(SweepContext* context, const std::string& name)
{
    return unlinkat(Folder(context), name.c_str(), 0) == 0 ? 0 : errno;
}

bool RegularFileInQuarantine(SweepContext* context, const std::string& name)
{
    struct stat status;
    return fstatat(Folder(context), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(status.st_mode);
}

bool WorkOwnerGone(const WorkOwner& self, const WorkOwner& maker)
{
    if (maker.host != self.host || self.boot == "x" || maker.boot == "x" || self.space == "x") {
        return false;   // another host, or a system this run cannot tell apart from its own
    }
    if (maker.processId == 0 || maker.processId > 0x7FFFFFFFu) {
        return false;   // no process a sweep is
    }
    if (maker.boot != self.boot) {
        return true;    // made before this system last started
    }
    return maker.space == self.space && kill(static_cast<pid_t>(maker.processId), 0) != 0 &&
           errno == ESRCH;
}
