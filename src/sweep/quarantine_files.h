// The files a sweep keeps in the quarantine folder, each reached relative to the folder that
// was opened (and checked) once at the start, never through a link: on POSIX openat with
// O_NOFOLLOW on the folder's descriptor, on Win32 NtCreateFile relative to the folder's
// handle with FILE_OPEN_REPARSE_POINT. quarantine_files_posix.cpp and
// quarantine_files_win32.cpp are the platform's pieces; the manifest, the move records and
// the order of a move's steps on top of them are portable (quarantine_manifest.cpp), the
// found file's part in a move is the platform's again (quarantine_posix.cpp,
// quarantine_win32.cpp).
#pragma once

#include "sweep/quarantine_record.h"
#include "sweep/sweep_context.h"

#include <cstdint>

using QuarantineFile = intptr_t;   // a descriptor on POSIX, a HANDLE on Win32
constexpr QuarantineFile kNoQuarantineFile = -1;
extern const int32_t kQuarantineNameTaken;   // kCreateNew's error for a name that is taken
extern const int32_t kQuarantineOtherDevice;  // a rename's error across file systems or mounts

enum class QuarantineOpen {
    kCreateNew,   // a new file for writing; never an existing name, be it a link
    kRead,        // an existing regular file
    kAppend,      // this host's manifest: an existing or new regular file for reading and
                  // appending, locked against every other writer of this host until closed
};

// ---- quarantine_files_*.cpp -----------------------------------------------------------------
// RETURNS 0 with *file, or the error number.
int32_t OpenInQuarantine(SweepContext* context, const std::string& name, QuarantineOpen mode,
                         QuarantineFile* file);
// Reads at `offset`: *got 0 at the end. RETURNS 0 or the error.
int32_t ReadQuarantineFile(QuarantineFile file, uint64_t offset, char* into, uint32_t size,
                           uint32_t* got);
// Writes all of `bytes` (at the end, for kAppend). RETURNS 0 or the error.
int32_t WriteQuarantineFile(QuarantineFile file, const char* bytes, size_t size);
int32_t QuarantineFileSize(QuarantineFile file, uint64_t* size);
int32_t TruncateQuarantineFile(QuarantineFile file, uint64_t size);
int32_t FlushQuarantineFile(QuarantineFile file);
void CloseQuarantineFile(QuarantineFile file);
// The folder's entries made durable (renames, new and deleted names).
int32_t FlushQuarantineFolder(SweepContext* context);
int32_t DeleteInQuarantine(SweepContext* context, const std::string& name);
// Whether `name` is a regular file there (not a link).
bool RegularFileInQuarantine(SweepContext* context, const std::string& name);
// Whether the process that made a work file is certainly gone: this host, and on POSIX an
// earlier boot, or this boot and PID namespace and no such process.
bool WorkOwnerGone(const WorkOwner& self, const WorkOwner& maker);

// ---- quarantine_posix.cpp, quarantine_win32.cpp: the found file's part in a move -------------
// The found file as the platform reached it and checked it to be the file scanned: on POSIX
// its folder, opened without links, and its name there; on Win32 the file, held open.
struct ReachedFile;
// Renames it into the quarantine as `final`. RETURNS 0, kQuarantineOtherDevice (another mount
// of the quarantine's file system: to be copied), kErrorChangedSinceScan or the error.
int32_t RenameReachedFile(SweepContext* context, ReachedFile* file, const std::string& final);
// Copies it into a temporary file, made durable and checked to be the whole file scanned,
// then renamed to `final`. RETURNS 0 or the error (no copy left).
int32_t CopyReachedFile(SweepContext* context, ReachedFile* file, const std::string& final);
// Puts a file renamed to `final` back under its own name. RETURNS 0 or the error.
int32_t PutReachedFileBack(SweepContext* context, ReachedFile* file, const std::string& final);
// The last step of a move: the original of a copy deleted; a renamed file's execute bits
// dropped (POSIX). RETURNS 0 or the error (the copy then stays, recorded).
int32_t FinishReachedFile(SweepContext* context, ReachedFile* file, const std::string& final,
                          bool copied);

// ---- quarantine_manifest.cpp ----------------------------------------------------------------
// A work file's name for this process that it has not used yet.
std::string NextWorkName(SweepContext* context, const char* suffix);
// Appends one line to this host's manifest and makes it durable. A line cut short by a crash
// is cut away first, and a write that fails is undone: the manifest holds whole lines only.
// RETURNS 0 or the error.
int32_t AppendManifest(SweepContext* context, const std::string& line);
// Writes a move's manifest line as its record, made durable with the folder, before the file
// takes its quarantine name. RETURNS 0 with *recordName, or the error.
int32_t WriteMoveRecord(SweepContext* context, const std::string& line, std::string* recordName);
// Moves the reached file into the quarantine as `final`, in an order that loses nothing when
// the sweep is killed at any moment: the manifest line first written as a record; the file
// renamed into the quarantine, or (from another file system or mount) copied; the folder
// flushed, the line appended to the manifest and flushed, the record deleted; and only then
// the original of a copy deleted. A file not recorded is not kept: a copy is deleted, a
// renamed file put back. RETURNS 0 or the error; the original stays unless 0 (or unless the
// very last step, its deletion, failed: then its copy stays recorded too).
int32_t MoveReachedFile(SweepContext* context, const FileOutcome& outcome, ReachedFile* file,
                        std::time_t now, const std::string& final);
// Finishes what killed runs of this host left: their copies deleted; each record's line added
// to the manifest when its file is in the quarantine and the manifest lacks it, then the
// record deleted. Work files of other hosts and of live processes are left alone.
void FinishStaleWork(SweepContext* context, const std::vector<std::string>& names, bool posix);
