// The walk on POSIX: depth first without recursion, one open folder per level (the folders
// far above the current one are read to the end and closed, so a tree of any depth needs
// at most kMaxOpenFolders descriptors); the entry type from readdir, so files cost no stat.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxOpenFolders = 64;

struct Entry {
    std::string name;
    unsigned char type;
};

struct Frame {
    DIR* folder;                  // nullptr once read to the end early
    std::vector<Entry> rest;      // what was left in it then
    size_t next;
    size_t pathLength;            // of this folder's path in Walk::path
    dev_t device;
    ino_t inode;
};

struct Walk {
    SweepContext* context;
    std::string path;
    std::vector<Frame> stack;
    size_t firstOpen;   // frames below this one are closed
    dev_t rootDevice;
    std::string ownWorkPrefix;   // of the names this sweep gives found files it deletes
};

// The next entry of the frame other than "." and "..". RETURNS false at the end, with
// *error when reading failed.
bool NextEntry(Frame* frame, Entry* entry, int32_t* error)
{
    *error = 0;
    if (frame->folder == nullptr) {
        if (frame->next >= frame->rest.size()) {
            return false;
        }
        *entry = std::move(frame->rest[frame->next++]);
        return true;
    }
    for (;;) {
        errno = 0;
        dirent* found = readdir(frame->folder);
        if (found == nullptr) {
            *error = errno;
            return false;
        }
        const char* name = found->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        entry->name = name;
        entry->type = found->d_type;
        return true;
    }
}

void CloseFrame(Frame* frame)
{
    if (frame->folder != nullptr) {
        closedir(frame->folder);
        frame->folder = nullptr;
    }
}

// Reads the oldest open folder to its end and closes it, to free a descriptor.
void DrainOldestFolder(Walk* walk)
{
    Frame& frame = walk->stack[walk->firstOpen++];
    Entry entry;
    int32_t error = 0;
    while (NextEntry(&frame, &entry, &error)) {
        frame.rest.push_back(std::move(entry));
    }
    CloseFrame(&frame);
    frame.next = 0;
    if (error != 0) {
        ReportPathError(walk->context, walk->path.substr(0, frame.pathLength), error);
    }
}

void EnterFolder(Walk* walk, bool follow)
{
    const SweepOptions& options = *walk->context->options;
    if (walk->stack.size() - walk->firstOpen >= kMaxOpenFolders) {
        DrainOldestFolder(walk);
    }
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW);
    int descriptor = open(walk->path.c_str(), flags);
    if (descriptor < 0) {
        if (!follow && (errno == ELOOP || errno == ENOTDIR)) {
            return;   // replaced by a link or a file since it was listed
        }
        ReportPathError(walk->context, walk->path, errno);
        return;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        ReportPathError(walk->context, walk->path, errno);
        close(descriptor);
        return;
    }
    bool skip = walk->stack.empty() ? false
                                    : (options.oneFileSystem && status.st_dev != walk->rootDevice);
    for (const Frame& frame : walk->stack) {
        if (frame.device == status.st_dev && frame.inode == status.st_ino) {
            skip = true;   // a loop: this folder is already being walked above
        }
    }
    const SweepContext& context = *walk->context;
    if (options.haveMove && context.quarantineDevice == static_cast<uint64_t>(status.st_dev) &&
        context.quarantineIndex == static_cast<uint64_t>(status.st_ino)) {
        skip = true;   // the quarantine itself: what is held there was found already
    }
    DIR* folder = skip ? nullptr : fdopendir(descriptor);
    if (folder == nullptr) {
        if (!skip) {
            ReportPathError(walk->context, walk->path, errno);
        }
        close(descriptor);
        return;
    }
    if (walk->stack.empty()) {
        walk->rootDevice = status.st_dev;
    }
    walk->stack.push_back(Frame{folder, {}, 0, walk->path.size(), status.st_dev, status.st_ino});
    SetCurrentFolder(walk->context, walk->path);
}

// One entry found in a folder, its path in walk->path.
void VisitEntry(Walk* walk, unsigned char type)
{
    const SweepOptions& options = *walk->context->options;
    if (type == DT_UNKNOWN) {
        struct stat status;
        if (lstat(walk->path.c_str(), &status) != 0) {
            return;   // gone since it was listed
        }
        type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR
             : S_ISLNK(status.st_mode) ? DT_LNK : DT_FIFO;
    }
    if (type == DT_REG) {
        SubmitFile(walk->context, WorkItem{walk->path, false});
    } else if (type == DT_DIR) {
        EnterFolder(walk, false);
    } else if (type == DT_LNK && options.followSymlinks) {
        struct stat status;
        if (stat(walk->path.c_str(), &status) != 0) {
            return;   // a dangling link: nothing to scan
        }
        if (S_ISREG(status.st_mode)) {
            SubmitFile(walk->context, WorkItem{walk->path, true});
        } else if (S_ISDIR(status.st_mode)) {
            EnterFolder(walk, true);
        }
    }
}

void WalkFolder(SweepContext* context, const std::string& root)
{
    const SweepOptions& options = *context->options;
    Walk walk{context, root, {}, 0, 0,
              options.haveMove || options.remove ? WorkPrefix(context->self) : std::string()};
    EnterFolder(&walk, true);
    while (!walk.stack.empty()) {
        Frame& top = walk.stack.back();
        Entry entry;
        int32_t error = 0;
        if (!NextEntry(&top, &entry, &error)) {
            walk.path.resize(top.pathLength);
            if (error != 0) {
                ReportPathError(context, walk.path, error);
            }
            CloseFrame(&top);
            walk.stack.pop_back();
            if (walk.firstOpen > walk.stack.size()) {
                walk.firstOpen = walk.stack.size();
            }
            continue;
        }
        walk.path.resize(top.pathLength);
        if (walk.path.empty() || walk.path.back() != '/') {
            walk.path.push_back('/');
        }
        walk.path += entry.name;
        if (IsExcluded(*context->options, walk.path) ||
            (!walk.ownWorkPrefix.empty() && entry.name.compare(0, walk.ownWorkPrefix.size(),
                                                              walk.ownWorkPrefix) == 0)) {
            continue;   // excluded, or a found file this sweep is deleting right now
        }
        VisitEntry(&walk, entry.type);
    }
}

}  // namespace

void WalkPath(SweepContext* context, const std::string& given)
{
    std::string path = given;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (IsExcluded(*context->options, path)) {
        return;
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        ReportPathError(context, given, errno);
        return;
    }
    if (S_ISREG(status.st_mode)) {
        SubmitFile(context, WorkItem{path, true});
    } else if (S_ISDIR(status.st_mode)) {
        WalkFolder(context, path);
    }
}
