// Quarantine and removal on POSIX, built so that a kill at any moment loses nothing: on one
// file system the manifest line is made durable and the file renamed (never copied); across
// file systems a temporary copy is written, flushed and checked, renamed into place, made
// durable, recorded, and only then is the original unlinked.
#include "sweep/quarantine_record.h"
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr char kManifestName[] = "quarantine.tsv";
constexpr mode_t kQuarantinedMode = 0400;   // readable by the owner only, never executable

std::string InFolder(const SweepContext* context, const std::string& name)
{
    std::string path = context->quarantineDir;
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path + name;
}

// mkdir -p
int32_t MakeFolders(const std::string& path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') {
            continue;
        }
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

int32_t SyncPath(const std::string& path, int flags)
{
    int descriptor = open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0) {
        return errno;
    }
    int32_t error = fsync(descriptor) == 0 ? 0 : errno;
    close(descriptor);
    return error;
}

int32_t SyncQuarantineFolder(const SweepContext* context)
{
    return SyncPath(context->quarantineDir, O_RDONLY | O_DIRECTORY);
}

// Removes the temporary copies of runs whose process is gone.
void RemoveStaleCopies(const SweepContext* context)
{
    DIR* folder = opendir(context->quarantineDir.c_str());
    if (folder == nullptr) {
        return;
    }
    while (dirent* entry = readdir(folder)) {
        uint32_t processId = 0;
        if (ParseTemporaryName(entry->d_name, &processId) &&
            kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH) {
            unlink(InFolder(context, entry->d_name).c_str());
        }
    }
    closedir(folder);
}

// Appends the line with one write and makes it durable.
int32_t AppendManifest(SweepContext* context, const std::string& line)
{
    std::lock_guard<std::mutex> hold(context->manifestLock);
    int descriptor = open(InFolder(context, kManifestName).c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return errno;
    }
    int32_t error = 0;
    ssize_t written = write(descriptor, line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) {
        error = written < 0 ? errno : EIO;
    } else if (fsync(descriptor) != 0) {
        error = errno;
    }
    close(descriptor);
    return error;
}

// rename() that never replaces what is at `to`.
int32_t RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a new link cannot replace anything either.
    if (link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    if (unlink(from.c_str()) != 0) {
        int32_t error = errno;
        unlink(to.c_str());
        return error;
    }
    return 0;
}

// A fresh name in the quarantine folder that nothing holds yet. RETURNS 0 with *name, or the
// error that keeps any name there from being used (a folder path too long for one).
int32_t FreshName(SweepContext* context, std::time_t now, std::string* name)
{
    for (;;) {
        *name = QuarantineName(now, static_cast<uint32_t>(getpid()),
                               context->quarantineCounter.fetch_add(1) + 1);
        struct stat status;
        if (lstat(InFolder(context, *name).c_str(), &status) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
    }
}

// Copies the open file into a new temporary file in the quarantine, flushed, its size
// checked. RETURNS 0 with *temporary, or the error (the temporary removed).
int32_t CopyIntoQuarantine(SweepContext* context, int source, uint64_t size, std::string* temporary)
{
    int target = -1;
    for (;;) {
        *temporary = InFolder(context, TemporaryName(static_cast<uint32_t>(getpid()),
                                                     context->quarantineCounter.fetch_add(1) + 1));
        target = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (target >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (target < 0) {
        return errno;
    }
    int32_t error = 0;
    uint64_t copied = 0;
    char chunk[65536];
    for (;;) {
        ssize_t got = read(source, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            ssize_t put = write(target, chunk + done, static_cast<size_t>(got - done));
            if (put < 0 && errno != EINTR) {
                error = errno;
            } else if (put > 0) {
                done += put;
            }
        }
        if (error != 0) {
            break;
        }
        copied += static_cast<uint64_t>(got);
    }
    struct stat written;
    if (error == 0 && fchmod(target, kQuarantinedMode) != 0) {
        error = errno;
    }
    if (error == 0 && fsync(target) != 0) {
        error = errno;
    }
    if (error == 0 && (fstat(target, &written) != 0 || static_cast<uint64_t>(written.st_size) != copied ||
                       copied != size)) {
        error = EIO;   // the copy is not the whole file as it was measured
    }
    if (close(target) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary->c_str());
    }
    return error;
}

int32_t MoveOnOneFileSystem(SweepContext* context, const FileOutcome& outcome,
                            const std::string& path, std::time_t now, const std::string& name)
{
    int32_t error = AppendManifest(context, ManifestLine(outcome, now, name));
    if (error == 0) {
        error = RenameNoReplace(path, InFolder(context, name));
    }
    if (error == 0) {
        chmod(InFolder(context, name).c_str(), kQuarantinedMode);
        error = SyncQuarantineFolder(context);
    }
    return error;
}

int32_t MoveAcrossFileSystems(SweepContext* context, const FileOutcome& outcome,
                              const std::string& path, std::time_t now, const std::string& name)
{
    int source = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (source < 0) {
        return errno;
    }
    std::string temporary;
    struct stat status = {};
    int32_t error = fstat(source, &status) == 0 ? 0 : errno;
    if (error == 0) {
        error = CopyIntoQuarantine(context, source, static_cast<uint64_t>(status.st_size), &temporary);
    }
    close(source);
    if (error == 0) {
        error = RenameNoReplace(temporary, InFolder(context, name));
        if (error != 0) {
            unlink(temporary.c_str());
        }
    }
    if (error == 0) {
        error = SyncQuarantineFolder(context);
    }
    FileOutcome recorded = outcome;
    recorded.size = static_cast<uint64_t>(status.st_size);
    if (error == 0) {
        error = AppendManifest(context, ManifestLine(recorded, now, name));
    }
    if (error == 0 && unlink(path.c_str()) != 0) {
        error = errno;
        // The original stays; so that it is not held twice, its copy goes again.
        unlink(InFolder(context, name).c_str());
    }
    return error;
}

// The file to act on: the path itself, or what a followed link names.
int32_t ActualFile(const std::string& path, std::string* actual, struct stat* status)
{
    if (lstat(path.c_str(), status) != 0) {
        return errno;
    }
    *actual = path;
    if (S_ISLNK(status->st_mode)) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            return errno;
        }
        *actual = resolved;
        free(resolved);
        if (lstat(actual->c_str(), status) != 0) {
            return errno;
        }
    }
    return S_ISREG(status->st_mode) ? 0 : EINVAL;
}

// Unlinking needs a folder we may change: checked before anything is copied or recorded.
int32_t FolderWritable(const std::string& path)
{
    size_t cut = path.find_last_of('/');
    std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    return access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

int32_t PrepareQuarantine(SweepContext* context)
{
    context->quarantineDir = context->options->moveTo;
    int32_t error = MakeFolders(context->quarantineDir);
    struct stat status;
    if (error == 0 && stat(context->quarantineDir.c_str(), &status) != 0) {
        error = errno;
    }
    if (error == 0 && !S_ISDIR(status.st_mode)) {
        error = ENOTDIR;
    }
    if (error == 0) {
        context->quarantineDevice = static_cast<uint64_t>(status.st_dev);
        context->quarantineIndex = static_cast<uint64_t>(status.st_ino);
        RemoveStaleCopies(context);
        error = access(context->quarantineDir.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
    }
    context->quarantineError = error;
    return 0;   // a folder that is not usable fails each move, so every found file says so
}

void MoveToQuarantine(SweepContext* context, FileOutcome* outcome)
{
    std::string actual;
    struct stat status;
    int32_t error = context->quarantineError;
    if (error == 0) {
        error = ActualFile(outcome->path, &actual, &status);
    }
    if (error == 0) {
        error = FolderWritable(actual);
    }
    std::time_t now = std::time(nullptr);
    std::string name;
    if (error == 0) {
        error = FreshName(context, now, &name);
    }
    if (error == 0) {
        error = static_cast<uint64_t>(status.st_dev) == context->quarantineDevice
                    ? MoveOnOneFileSystem(context, *outcome, actual, now, name)
                    : MoveAcrossFileSystems(context, *outcome, actual, now, name);
    }
    if (error != 0) {
        outcome->action = FoundAction::kFailed;
        outcome->actionError = error;
        return;
    }
    outcome->action = FoundAction::kMoved;
    outcome->quarantineName = name;
}

void RemoveFoundFile(SweepContext*, FileOutcome* outcome)
{
    std::string actual;
    struct stat status;
    int32_t error = ActualFile(outcome->path, &actual, &status);
    if (error == 0 && unlink(actual.c_str()) != 0) {
        error = errno;
    }
    outcome->action = error == 0 ? FoundAction::kRemoved : FoundAction::kFailed;
    outcome->actionError = error;
}
