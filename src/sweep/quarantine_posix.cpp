// Quarantine and removal on POSIX. Others may write to the swept tree while the sweep runs:
// a found file is reached again through folders opened without following a link and acted
// on only when it is still the file scanned (device, inode, size, change time). Its part in a
// move (whose order of steps is MoveReachedFile's): on one file system it is renamed into the
// quarantine; across file systems (or mounts of one, where rename says EXDEV) a temporary
// copy is written, flushed, checked and renamed into place, and the original deleted last.
#include "sweep/found_file_posix.h"
#include "sweep/quarantine_files.h"
#include "sweep/sweep_platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

struct ReachedFile {
    int folder = -1;    // the found file's folder, opened without links
    std::string name;   // its name there
    FileIdentity identity;
};

namespace {

constexpr mode_t kQuarantinedMode = 0400;   // readable by the owner only, never executable
constexpr uint32_t kMaxNameTries = 1000;

int Folder(const SweepContext* context)
{
    return static_cast<int>(context->quarantineFolder);
}

// mkdir -p, every folder made with mode 0700.
void MakeFolders(const std::string& path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/') {
            mkdir(path.substr(0, at).c_str(), 0700);
        }
    }
}

// The boot id's first 8 hex digits (read with pread, like every read but a copy's).
std::string BootLabel()
{
    int descriptor = open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    char text[8] = {};
    ssize_t got = descriptor < 0 ? -1 : pread(descriptor, text, sizeof(text), 0);
    if (descriptor >= 0) {
        close(descriptor);
    }
    if (got != static_cast<ssize_t>(sizeof(text))) {
        return "x";
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return "x";
        }
    }
    return std::string(text, sizeof(text));
}

// The names of the work files in the quarantine folder.
std::vector<std::string> WorkNamesIn(const SweepContext* context)
{
    std::vector<std::string> names;
    int descriptor = openat(Folder(context), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = descriptor < 0 ? nullptr : fdopendir(descriptor);
    if (folder == nullptr) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        return names;
    }
    while (dirent* entry = readdir(folder)) {
        if (std::strncmp(entry->d_name, ".purgekit-", 10) == 0) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(folder);
    return names;
}

// A quarantine name that nothing holds yet. RETURNS 0 with *name, or the error.
int32_t FreshName(SweepContext* context, std::time_t now, std::string* name)
{
    for (uint32_t tries = 0; tries < kMaxNameTries; ++tries) {
        *name = QuarantineName(now, context->self.host, context->self.processId,
                               context->quarantineCounter.fetch_add(1) + 1);
        struct stat status;
        if (fstatat(Folder(context), name->c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
    }
    return EEXIST;
}

// The found file's folder, opened without links, and its entry checked against the file
// scanned. RETURNS 0 with *folder and *name, or the error.
int32_t ReachScannedFile(const FileOutcome& outcome, int* folder, std::string* name)
{
    if (outcome.ownPath.empty()) {
        return outcome.actionError != 0 ? outcome.actionError : ENOENT;
    }
    int32_t error = OpenParentWithoutLinks(outcome.ownPath, folder, name);
    if (error != 0) {
        return error;
    }
    struct stat status;
    if (fstatat(*folder, name->c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
    } else if (!SameFile(status, outcome.identity, true)) {
        error = kErrorChangedSinceScan;
    }
    if (error != 0) {
        close(*folder);
        *folder = -1;
    }
    return error;
}

// Puts a file the sweep renamed into the quarantine back into its folder: under its name, or
// where that is taken meanwhile, under a private name beside it; where its folder is gone, it
// is kept in the quarantine under a name that is no quarantined file's.
void PutBack(SweepContext* context, const std::string& quarantined, int folder,
             const std::string& name)
{
    if (RenameNoReplace(Folder(context), quarantined, folder, name) == 0) {
        return;
    }
    for (uint32_t tries = 0; tries < kMaxNameTries; ++tries) {
        std::string aside = NextWorkName(context, kClaimSuffix);
        int32_t error = RenameNoReplace(Folder(context), quarantined, folder, aside);
        if (error == 0) {
            return;
        }
        if (error != EEXIST) {
            break;
        }
    }
    for (uint32_t tries = 0; tries < kMaxNameTries; ++tries) {
        std::string kept = NextWorkName(context, kKeptSuffix);
        if (RenameNoReplace(Folder(context), quarantined, Folder(context), kept) != EEXIST) {
            return;
        }
    }
}

// Copies the checked open file into a new temporary file in the quarantine (created
// exclusively: never through a link put at its name), flushed; the copy must hold as many
// bytes as the file had when scanned, and the file must not have changed meanwhile.
// RETURNS 0 with *temporary, or the error (the temporary deleted).
int32_t CopyToTemporary(SweepContext* context, int source, const FileIdentity& identity,
                        std::string* temporary)
{
    QuarantineFile target = kNoQuarantineFile;
    int32_t error = EEXIST;
    for (uint32_t tries = 0; tries < kMaxNameTries && error == EEXIST; ++tries) {
        *temporary = NextWorkName(context, kCopySuffix);
        error = OpenInQuarantine(context, *temporary, QuarantineOpen::kCreateNew, &target);
    }
    if (error != 0) {
        return error;
    }
    const int descriptor = static_cast<int>(target);
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
        error = WriteQuarantineFile(target, chunk, static_cast<size_t>(got));
        if (error != 0) {
            break;
        }
        copied += static_cast<uint64_t>(got);
    }
    struct stat status;
    if (error == 0 && fchmod(descriptor, kQuarantinedMode) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = FlushQuarantineFile(target);
    }
    if (error == 0 &&
        (fstat(descriptor, &status) != 0 || static_cast<uint64_t>(status.st_size) != copied ||
         copied != identity.size)) {
        error = EIO;   // the copy is not the whole file as it was scanned
    }
    if (error == 0 && (fstat(source, &status) != 0 || !SameFile(status, identity, true))) {
        error = kErrorChangedSinceScan;   // written to while it was copied
    }
    if (close(descriptor) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        DeleteInQuarantine(context, *temporary);
    }
    return error;
}

// A renamed file loses its execute permission (a copy was made so).
void DropExecuteBits(SweepContext* context, const std::string& final, const FileIdentity& identity)
{
    int descriptor = openat(Folder(context), final.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return;
    }
    struct stat status;
    if (fstat(descriptor, &status) == 0 && SameFile(status, identity, false)) {
        fchmod(descriptor, kQuarantinedMode);
    }
    close(descriptor);
}

}  // namespace

// One file system: the entry renamed into the quarantine, then checked there (nobody else
// can reach it there); what is not the file scanned goes back.
int32_t RenameReachedFile(SweepContext* context, ReachedFile* file, const std::string& final)
{
    int32_t error = RenameNoReplace(file->folder, file->name, Folder(context), final);
    if (error != 0) {
        return error;
    }
    struct stat status;
    if (fstatat(Folder(context), final.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(status, file->identity, false)) {
        PutBack(context, final, file->folder, file->name);
        return kErrorChangedSinceScan;
    }
    return 0;
}

// Across file systems: the copy made from the file opened without following a link and
// checked, then renamed to its quarantine name. A folder that will not let the original go
// is known before anything is copied.
int32_t CopyReachedFile(SweepContext* context, ReachedFile* file, const std::string& final)
{
    if (faccessat(file->folder, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return errno;
    }
    int source = openat(file->folder, file->name.c_str(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (source < 0) {
        return errno == ELOOP ? kErrorChangedSinceScan : errno;
    }
    struct stat status;
    int32_t error = fstat(source, &status) != 0 ? errno
                    : SameFile(status, file->identity, true) ? 0 : kErrorChangedSinceScan;
    std::string temporary;
    if (error == 0) {
        error = CopyToTemporary(context, source, file->identity, &temporary);
    }
    close(source);
    if (error == 0) {
        error = RenameNoReplace(Folder(context), temporary, Folder(context), final);
        if (error != 0) {
            DeleteInQuarantine(context, temporary);
        }
    }
    return error;
}

int32_t PutReachedFileBack(SweepContext* context, ReachedFile* file, const std::string& final)
{
    return RenameNoReplace(Folder(context), final, file->folder, file->name);
}

int32_t FinishReachedFile(SweepContext* context, ReachedFile* file, const std::string& final,
                          bool copied)
{
    if (!copied) {
        DropExecuteBits(context, final, file->identity);
        return 0;
    }
    return DeleteScannedFile(context, file->folder, file->name, file->identity);
}

WorkOwner ThisProcess()
{
    WorkOwner self;
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) == 0) {
        self.host = HostLabel(host);
    } else {
        self.host = HostLabel("");
    }
    self.boot = BootLabel();
    struct stat status;
    self.space = stat("/proc/self/ns/pid", &status) == 0 ? std::to_string(status.st_ino) : "x";
    self.processId = static_cast<uint32_t>(getpid());
    return self;
}

int32_t PrepareQuarantine(SweepContext* context)
{
    context->quarantineDir = context->options->moveTo;
    MakeFolders(context->quarantineDir);
    int folder = open(context->quarantineDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return errno;
    }
    struct stat status;
    int32_t error = fstat(folder, &status) != 0 ? errno
                    : status.st_uid != geteuid() ? kErrorQuarantineNotOwned
                    : (status.st_mode & (S_IWGRP | S_IWOTH)) != 0 ? kErrorQuarantineOpenToOthers
                    : 0;
    if (error != 0) {
        close(folder);
        return error;
    }
    context->quarantineFolder = folder;
    context->quarantineDevice = static_cast<uint64_t>(status.st_dev);
    context->quarantineIndex = static_cast<uint64_t>(status.st_ino);
    context->manifestName = ManifestName(context->self.host);
    FinishStaleWork(context, WorkNamesIn(context), true);
    return 0;
}

void CloseQuarantine(SweepContext* context)
{
    if (context->quarantineFolder >= 0) {
        close(Folder(context));
        context->quarantineFolder = -1;
    }
}

void MoveToQuarantine(SweepContext* context, FileOutcome* outcome)
{
    ReachedFile file;
    file.identity = outcome->identity;
    int32_t error = ReachScannedFile(*outcome, &file.folder, &file.name);
    std::time_t now = std::time(nullptr);
    std::string final;
    if (error == 0) {
        error = FreshName(context, now, &final);
    }
    if (error == 0) {
        error = MoveReachedFile(context, *outcome, &file, now, final);
    }
    if (file.folder >= 0) {
        close(file.folder);
    }
    outcome->action = error == 0 ? FoundAction::kMoved : FoundAction::kFailed;
    outcome->actionError = error;
    outcome->quarantineName = error == 0 ? final : std::string();
}

void RemoveFoundFile(SweepContext* context, FileOutcome* outcome)
{
    int folder = -1;
    std::string name;
    int32_t error = ReachScannedFile(*outcome, &folder, &name);
    if (error == 0) {
        error = DeleteScannedFile(context, folder, name, outcome->identity);
    }
    if (folder >= 0) {
        close(folder);
    }
    outcome->action = error == 0 ? FoundAction::kRemoved : FoundAction::kFailed;
    outcome->actionError = error;
}
