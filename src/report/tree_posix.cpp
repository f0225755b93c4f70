// The results tree on POSIX: every folder below a results folder is opened relative to its
// parent's descriptor with O_NOFOLLOW, and every file the same way, so no link is followed
// and no component of a path can be swapped for one between the check and the open. Only
// regular files are opened (a FIFO or a device never), read-only, without updating their
// access time where the system allows it.
#include "report/report_platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenBelow(int parent, const char* name, int flags)
{
    int descriptor = -1;
    do {
        descriptor = openat(parent, name, flags | O_NOATIME);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0 && errno == EPERM) {   // not the owner: the access time cannot be spared
        do {
            descriptor = openat(parent, name, flags);
        } while (descriptor < 0 && errno == EINTR);
    }
    return descriptor;
}

EntryKind KindOfMode(mode_t mode)
{
    return S_ISREG(mode) ? EntryKind::kFile : S_ISDIR(mode) ? EntryKind::kFolder
                         : S_ISLNK(mode)                    ? EntryKind::kLink
                                                            : EntryKind::kOther;
}

}  // namespace

int32_t OpenResultsFolder(const std::string& path, TreeFolder* folder, int32_t* error)
{
    folder->handle = -1;
    folder->path = path;
    int descriptor = OpenBelow(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = errno;
        return errno == ENOTDIR ? kTreeNotFolder : kTreeSystem;
    }
    folder->handle = descriptor;
    return kTreeOk;
}

int32_t OpenTreeFolder(const TreeFolder& parent, const std::string& name, TreeFolder* folder,
                       int32_t* error)
{
    folder->handle = -1;
    folder->path = JoinPath(parent.path, name);
    int descriptor = OpenBelow(static_cast<int>(parent.handle), name.c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        *error = errno;
        if (errno == ELOOP || errno == ENOTDIR) {
            struct stat status;
            if (fstatat(static_cast<int>(parent.handle), name.c_str(), &status,
                        AT_SYMLINK_NOFOLLOW) == 0) {
                return S_ISLNK(status.st_mode) ? kTreeLink : kTreeNotFolder;
            }
        }
        return kTreeSystem;
    }
    folder->handle = descriptor;
    return kTreeOk;
}

void CloseTreeFolder(TreeFolder* folder)
{
    if (folder->handle >= 0) {
        close(static_cast<int>(folder->handle));
        folder->handle = -1;
    }
}

int32_t ListTreeFolder(const TreeFolder& folder, std::vector<TreeEntry>* entries, int32_t* error)
{
    int descriptor = dup(static_cast<int>(folder.handle));
    DIR* listing = descriptor < 0 ? nullptr : fdopendir(descriptor);
    if (listing == nullptr) {
        *error = errno;
        if (descriptor >= 0) {
            close(descriptor);
        }
        return kTreeSystem;
    }
    rewinddir(listing);
    int32_t status = kTreeOk;
    for (;;) {
        errno = 0;
        dirent* found = readdir(listing);
        if (found == nullptr) {
            if (errno != 0) {
                *error = errno;
                status = kTreeSystem;
            }
            break;
        }
        const char* name = found->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        EntryKind kind = EntryKind::kOther;
        switch (found->d_type) {
        case DT_REG: kind = EntryKind::kFile; break;
        case DT_DIR: kind = EntryKind::kFolder; break;
        case DT_LNK: kind = EntryKind::kLink; break;
        case DT_UNKNOWN: {
            struct stat entry;
            if (fstatat(static_cast<int>(folder.handle), name, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;   // gone since it was listed
            }
            kind = KindOfMode(entry.st_mode);
            break;
        }
        default: break;
        }
        entries->push_back(TreeEntry{name, kind});
    }
    closedir(listing);
    return status;
}

int32_t OpenTreeFile(const TreeFolder& folder, const std::string& name, TreeFile* file,
                     int32_t* error)
{
    file->handle = -1;
    // O_NONBLOCK: a FIFO put there since it was listed is not waited on (and not read).
    int descriptor = OpenBelow(static_cast<int>(folder.handle), name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = errno;
        return errno == ELOOP ? kTreeLink : kTreeSystem;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        *error = errno;
        close(descriptor);
        return kTreeSystem;
    }
    if (!S_ISREG(status.st_mode)) {
        close(descriptor);
        return kTreeNotFile;
    }
    int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0) {
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    file->handle = descriptor;
    return kTreeOk;
}

int32_t ReadTreeFile(TreeFile* file, char* into, size_t size, size_t* got, int32_t* error)
{
    for (;;) {
        ssize_t read_now = read(static_cast<int>(file->handle), into, size);
        if (read_now >= 0) {
            *got = static_cast<size_t>(read_now);
            return kTreeOk;
        }
        if (errno != EINTR) {
            *error = errno;
            *got = 0;
            return kTreeSystem;
        }
    }
}

void CloseTreeFile(TreeFile* file)
{
    if (file->handle >= 0) {
        close(static_cast<int>(file->handle));
        file->handle = -1;
    }
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}
