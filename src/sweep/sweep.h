// The sweep: purgekit-scan walks files and folders, reads each regular file once for the
// three worm variants' sets, prints what it found and, when asked, moves found files into a
// quarantine folder or removes them. Records and status codes shared by its parts; the
// platform's own pieces (POSIX or Win32) are declared in sweep_platform.h.
#pragma once

#include "detect/detect.h"
#include "json/json.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Exit codes, in the convention of clamscan and yara.
constexpr int kExitClean = 0;
constexpr int kExitFound = 1;
constexpr int kExitError = 2;   // an error kept something from being scanned; or a usage error

// Status of ParseOptions.
constexpr int32_t kOptionsOk = 0;
constexpr int32_t kOptionsUsage = -2;   // a usage error: the usage goes to stderr
constexpr int32_t kOptionsHelp = 1;     // --help: the usage goes to stdout
constexpr int32_t kOptionsVersion = 2;  // --version

// The sweep's own reasons for a failed action, beside the platform's error numbers (never
// negative); their texts come from ReasonText.
constexpr int32_t kErrorChangedSinceScan = -100;        // "changed since it was scanned"
constexpr int32_t kErrorQuarantineNotOwned = -101;      // the --move folder is someone else's
constexpr int32_t kErrorQuarantineOpenToOthers = -102;  // group or others may write in it
constexpr int32_t kErrorQuarantineLink = -103;          // a reparse point (link, junction)

constexpr uint32_t kVariantCount = 3;
constexpr uint32_t kMaxThreads = 64;

struct SweepOptions {
    std::vector<std::string> paths;   // as given, UTF-8 on Windows
    std::string fileList;             // -f: "-" is standard input
    bool haveFileList = false;
    uint32_t threads = 0;             // 0: the platform's default
    bool infectedOnly = false;
    bool json = false;
    bool quiet = false;
    bool followSymlinks = false;
    bool oneFileSystem = false;
    std::vector<std::string> excludes;
    std::string moveTo;               // --move DIR
    bool haveMove = false;
    bool remove = false;
    bool readOffline = false;         // also read files whose data is not on the disk
};

// Who a scanned file is, taken from the open file while it is scanned, so that an action
// later reaches that very file or none. On Win32: the volume serial number, the file index,
// the size and the last-write time (FILETIME units).
struct FileIdentity {
    uint64_t device = 0;   // st_dev
    uint64_t index = 0;    // st_ino
    uint64_t size = 0;
    uint64_t changed = 0;  // st_ctim in nanoseconds
};

// What became of a found file.
enum class FoundAction { kNone, kMoved, kRemoved, kFailed };

// One file's outcome, printed as one block.
struct FileOutcome {
    std::string path;
    size_t rootLength = std::string::npos;   // as in WorkItem
    uint64_t size = 0;
    bool scanned = false;       // a regular file that was read
    bool follow = false;        // reached through a link the sweep follows (WorkItem::follow)
    FileIdentity identity;      // of the file read
    // The file's own full path, as an action reaches it without links (POSIX; on Win32 when
    // the system tells it); filled for a found file when --move or --remove is given.
    std::string ownPath;
    int32_t error = 0;          // the platform's error number, when it could not be read
    uint32_t variants = 0;      // bit i: set i (A, C, E) found
    FoundAction action = FoundAction::kNone;
    std::string quarantineName;
    int32_t actionError = 0;
};

// Counters and the output, shared by the walker and every worker.
struct SweepTotals {
    std::atomic<uint64_t> scanned{0};
    std::atomic<uint64_t> found{0};
    std::atomic<uint64_t> errors{0};
    std::atomic<uint64_t> skipped{0};   // files whose data is not on the disk, left unread
};

// One path for a worker: `follow` when a symbolic link in its place is to be followed
// (a path given by the user, or a link found with --follow-symlinks).
// `rootLength`: the leading bytes of `path` that are a path as given, which the platform may
// make absolute in its own way; the rest was appended by the walk from names as listed and is
// used exactly as it is (std::string::npos: all of it was given).
struct WorkItem {
    std::string path;
    bool follow = false;
    size_t rootLength = std::string::npos;
};

// ---- options.cpp, usage_text.cpp ------------------------------------------------------------
// `arguments` without the program name. *problem gets what is wrong on kOptionsUsage.
int32_t ParseOptions(const std::vector<std::string>& arguments, SweepOptions* options,
                     std::string* problem);
const char* UsageText();
const char* VersionText();

// ---- variant_names.cpp ----------------------------------------------------------------------
// The sets in the order A, C, E, and their names as printed ("TROJ_VORN.A").
void BuildVariantSets(SignatureSet sets[kVariantCount]);
const char* VariantName(uint32_t index);

// ---- glob_match.cpp -------------------------------------------------------------------------
// fnmatch-style: `*` any run, `?` one byte, `[abc]`, `[a-z]`, `[!x]` one of / none of, `\x`
// the byte x. `*` and `?` match any byte, separators included.
bool GlobMatches(const char* pattern, const char* text);
// Whether `path` or its base name matches one of the --exclude patterns.
bool IsExcluded(const SweepOptions& options, const std::string& path);

// ---- report_lines.cpp -----------------------------------------------------------------------
// The lines one file's outcome prints on stdout (text or JSON) and on stderr (text errors).
void FormatOutcome(const SweepOptions& options, const FileOutcome& outcome, std::string* out,
                   std::string* err);
// An error about a path that is not a file's outcome (a folder, a list): text or JSON.
// The text of an error number, the sweep's own reasons included.
std::string ReasonText(int32_t error);
void FormatPathError(const SweepOptions& options, const std::string& path, int32_t error,
                     std::string* out, std::string* err);
// A file left unread because its data is not on the disk: a line with the OK lines, an
// object in JSON.
void FormatSkipped(const SweepOptions& options, const std::string& path, std::string* out);
// The summary; skipped files show only when there are any, so that the summary of a sweep
// that skipped nothing stays as it always was.
void FormatSummary(const SweepOptions& options, uint64_t scanned, uint64_t found, uint64_t errors,
                   uint64_t skipped, double seconds, std::string* out);

// ---- file_list.cpp --------------------------------------------------------------------------
// Splits list text into paths: a line ends at LF; a CR before it is dropped; empty lines are
// skipped; the last line needs no newline. `pending` carries a partial line between chunks;
// `flush` ends the list. Calls `take(context, path)` for each path.
void SplitListChunk(std::string* pending, const char* chunk, size_t size, bool flush,
                    void (*take)(void* context, const std::string& path), void* context);

// ---- sweep_run.cpp --------------------------------------------------------------------------
// The whole sweep. RETURNS the exit code.
int RunSweep(const SweepOptions& options);
