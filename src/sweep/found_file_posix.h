// Reaching a found file again for its move or removal on POSIX without following any link,
// and acting on the very file that was scanned or on none: others may change the tree
// between the scan and the action.
#pragma once

#include "sweep/sweep_context.h"

#include <sys/stat.h>

// The identity of a file as fstat or fstatat describes it.
void IdentityOf(const struct stat& status, FileIdentity* identity);
// Whether `status` is the scanned file: a regular file on the same device with the same inode
// and size and, when `changeToo`, the same change time (a rename changes that, so a file
// just renamed by the sweep is compared without it).
bool SameFile(const struct stat& status, const FileIdentity& identity, bool changeToo);

// Opens the folder that holds `path` (absolute, as the scan found the file's own path)
// without following a link anywhere on the way: openat2 with RESOLVE_NO_SYMLINKS, or one
// component after the other with O_NOFOLLOW where the kernel lacks it. *folder is an O_PATH
// descriptor, *name the last component. RETURNS 0, kErrorChangedSinceScan when a link or a
// file stands where a folder was, or errno.
int32_t OpenParentWithoutLinks(const std::string& path, int* folder, std::string* name);

// renameat2 with RENAME_NOREPLACE; where the file system lacks the flag, a new link and the
// old one removed (a new link cannot replace anything either). RETURNS 0 or errno.
int32_t RenameNoReplace(int fromFolder, const std::string& from, int toFolder,
                        const std::string& to);

// Deletes `name` in `folder` only when it is the scanned file: the entry is first renamed to
// a private name in the same folder (a claim: nobody can swap what that name holds without
// the sweep seeing it), checked there, and unlinked; anything else is put back under its
// name. RETURNS 0, kErrorChangedSinceScan, or errno.
int32_t DeleteScannedFile(SweepContext* context, int folder, const std::string& name,
                          const FileIdentity& identity);
