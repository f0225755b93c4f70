#include "sweep/found_file_posix.h"
#include "sweep/quarantine_files.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr uint32_t kMaxClaimTries = 1000;

// openat2 is not in every C library yet: the system call itself. RETURNS the descriptor, or
// -1 with errno (ENOSYS on kernels before 5.6, or where a filter refuses it).
int OpenFolderResolvingNoLinks(const std::string& path)
{
#ifdef SYS_openat2
    open_how how = {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof(how)));
#else
    errno = ENOSYS;
    return -1;
#endif
}

int OpenFolderComponentByComponent(const std::string& path)
{
    int folder = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    size_t at = 0;
    while (folder >= 0 && at < path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > at) {
            std::string part = path.substr(at, end - at);
            int inner = openat(folder, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            int saved = errno;
            close(folder);
            errno = saved;
            folder = inner;
        }
        at = end + 1;
    }
    return folder;
}

}  // namespace

void IdentityOf(const struct stat& status, FileIdentity* identity)
{
    identity->device = static_cast<uint64_t>(status.st_dev);
    identity->index = static_cast<uint64_t>(status.st_ino);
    identity->size = static_cast<uint64_t>(status.st_size);
    identity->changed = static_cast<uint64_t>(status.st_ctim.tv_sec) * 1000000000ull +
                        static_cast<uint64_t>(status.st_ctim.tv_nsec);
}

bool SameFile(const struct stat& status, const FileIdentity& identity, bool changeToo)
{
    FileIdentity now;
    IdentityOf(status, &now);
    return S_ISREG(status.st_mode) && now.device == identity.device &&
           now.index == identity.index && now.size == identity.size &&
           (!changeToo || now.changed == identity.changed);
}

int32_t OpenParentWithoutLinks(const std::string& path, int* folder, std::string* name)
{
    size_t cut = path.find_last_of('/');
    if (path.empty() || path[0] != '/' || cut == std::string::npos || cut + 1 >= path.size()) {
        return EINVAL;
    }
    *name = path.substr(cut + 1);
    std::string parent = cut == 0 ? "/" : path.substr(0, cut);
    int descriptor = OpenFolderResolvingNoLinks(parent);
    if (descriptor < 0 && (errno == ENOSYS || errno == EPERM || errno == E2BIG)) {
        descriptor = OpenFolderComponentByComponent(parent);
    }
    if (descriptor < 0) {
        // A link (ELOOP, or ENOTDIR from O_NOFOLLOW with O_DIRECTORY) or a file where a
        // folder of the path was.
        return errno == ELOOP || errno == ENOTDIR ? kErrorChangedSinceScan : errno;
    }
    *folder = descriptor;
    return 0;
}

int32_t RenameNoReplace(int fromFolder, const std::string& from, int toFolder,
                        const std::string& to)
{
    if (renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) != 0) {
        return errno;
    }
    if (unlinkat(fromFolder, from.c_str(), 0) != 0) {
        int32_t error = errno;
        unlinkat(toFolder, to.c_str(), 0);
        return error;
    }
    return 0;
}

int32_t DeleteScannedFile(SweepContext* context, int folder, const std::string& name,
                          const FileIdentity& identity)
{
    std::string claim;
    int32_t error = EEXIST;
    for (uint32_t tries = 0; tries < kMaxClaimTries && error == EEXIST; ++tries) {
        claim = NextWorkName(context, kClaimSuffix);
        error = RenameNoReplace(folder, name, folder, claim);
    }
    if (error != 0) {
        return error;
    }
    struct stat status;
    if (fstatat(folder, claim.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(status, identity, false)) {
        RenameNoReplace(folder, claim, folder, name);   // not ours to delete: back to its name
        return kErrorChangedSinceScan;
    }
    if (unlinkat(folder, claim.c_str(), 0) != 0) {
        error = errno;
        RenameNoReplace(folder, claim, folder, name);
        return error;
    }
    return 0;
}
