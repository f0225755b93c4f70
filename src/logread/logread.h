// Reading what the cleaner wrote: its log (PURGEKIT.LOG, one run or many appended) or the
// transcript of its console. The reader takes the bytes in chunks of any size, splits them into
// runs, tells for each run what every stage found and did, and classifies the run's outcome.
// It recognises the cleaner's own message texts (messages/messages.h) and nothing else; every
// other line is counted as not recognised. Logs come from machines that were infected: every
// line is bounded, any byte is accepted, nothing is read past what was handed in.
//
// Plain C++ without any platform header, for the Windows programs and the Linux ones alike.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- What a run found and did -------------------------------------------------------------

// The three memory passes, in the run's order.
constexpr uint32_t kPassCount = 3;   // TROJ_VORN.A, .C, .E
// The four dropped files, in the order of the dropped-file stage (and of their blocking
// folders): krn132.exe, wqk.exe, wqk.dll, WinSvc.exe.
constexpr uint32_t kDroppedCount = 4;

enum class DroppedOutcome : uint8_t { kNotReported, kNotFound, kDeleted, kDeleteFailed };

// Start-up values the registry stage reports removed (bit masks of RunRecord::valuesRemoved).
constexpr uint32_t kValueRunKrn132 = 1u << 0;
constexpr uint32_t kValueRunWqk = 1u << 1;
constexpr uint32_t kValueAppInit = 1u << 2;
constexpr uint32_t kValueRunWinSvc = 1u << 3;

// Service keys the service stage reports deleted (RunRecord::serviceKeysDeleted), and the
// services it reports stopped (RunRecord::servicesStopped).
constexpr uint32_t kServiceKernelSvc = 1u << 0;
constexpr uint32_t kServiceKrn132 = 1u << 1;
constexpr uint32_t kServiceWinSvc = 1u << 2;

struct PassRecord {
    uint32_t scanned;        // processes reported by a scanning line
    uint32_t wormsFound;     // the variant's worm identified by its patterns
    uint32_t virusesFound;   // a process whose file is named wqk.exe
    uint32_t terminated;
    uint32_t filesDeleted;
    uint32_t deleteErrors;   // terminated, but its file could not be deleted
    uint32_t notEnded;       // identified, but not terminated
    uint32_t scanErrors;     // file locked, skipped or unknown error: not examined
    uint32_t serviceKeysDeleted;   // variant E: keys named after the worm's file
};

// What went wrong in a run, each with the text it concerns (a path or a name).
enum class FailureKind : uint8_t {
    kProcessNotEnded,        // a worm or virus process identified but not terminated
    kFileNotDeleted,         // "Error deleting ..." after a termination
    kDroppedNotDeleted,      // a dropped file that exists but could not be deleted
    kServiceKeyNotDeleted,   // the worm's service entry found, its key not deleted
};

constexpr size_t kFailureTextSize = 264;   // a Windows path, cut with "..." when longer
constexpr uint32_t kMaxFailuresKept = 8;    // the first ones; failureCount counts them all

struct FailureRecord {
    FailureKind kind;
    char text[kFailureTextSize];
};

constexpr size_t kDateTimeSize = 32;   // "Wed Apr 03 09:05:03 2002"
constexpr size_t kPlatformSize = 32;   // "Windows 2000", "UNKNOWN OS", ...

struct RunRecord {
    uint64_t startOffset;   // byte offset of the run's first line in what was read
    uint64_t startLine;     // its line number, from 1
    bool startLineSeen;     // the log's start line (a console transcript has none)
    bool finished;          // the stop line (log) or the closing key prompt (console)
    char version[8];        // from the start line, e.g. "2.00"
    char dateTime[kDateTimeSize];   // the run's first date and time line, empty when none
    char platform[kPlatformSize];   // the platform line's name, empty when none

    // Services.
    bool serviceStageSeen;
    bool servicesNotFound;          // "Worm/Virus services not found!."
    uint32_t serviceKeysDeleted;    // kService* bits
    uint32_t servicesStopped;       // kService* bits

    PassRecord passes[kPassCount];

    // Registry values.
    bool registryStageSeen;
    uint32_t valuesRemoved;         // kValue* bits

    // Dropped files, and which of their "delete failed" lines are blocking folders (folders
    // that an earlier run of the same log created under those names): not failures.
    bool droppedStageSeen;
    DroppedOutcome dropped[kDroppedCount];
    uint8_t droppedBlocked;         // bit i: dropped file i is a blocking folder

    // Inoculation.
    bool inoculationSeen;
    uint8_t foldersCreated;         // bit i: the blocking folder of dropped file i
    uint8_t foldersExisting;        // bit i: reported as already existing
    bool systemInoculated;          // "System Inoculated"
    bool alreadyInoculated;         // "System already inoculated!"
    bool rebootAdvised;             // console only

    uint32_t failureCount;
    uint32_t failuresKept;
    FailureRecord failures[kMaxFailuresKept];

    uint64_t unrecognisedLines;     // text that is not the cleaner's
    uint64_t cutLines;              // lines longer than the reader keeps (their start is read)
};

// ---- Outcomes -----------------------------------------------------------------------------

enum class RunOutcome : uint8_t {
    kClean,        // found nothing anywhere
    kCleaned,      // found the worm or the virus, and every removal tried succeeded
    kIncomplete,   // found something, and a removal failed
    kFailed,       // not a whole run: it never started, or it has no end (cut short)
};

// Whether the run found the worm or the virus anywhere (services, memory, registry values,
// dropped files that were there, inoculation).
bool RunFoundSomething(const RunRecord& run);
// Whether the service stage found the worm's entry: it ended (the registry stage followed)
// without its "not found" line, whatever became of the keys.
bool WormServiceEntryFound(const RunRecord& run);
// Whether dropped file `file` was there: deleted, or not deleted and no blocking folder.
bool DroppedFileFound(const RunRecord& run, uint32_t file);
RunOutcome ClassifyRun(const RunRecord& run);
// "clean", "cleaned", "incomplete", "failed".
const char* OutcomeName(RunOutcome outcome);
// The dropped files' blocking folders that stand after this run (bit i for dropped file i):
// the folders it created, or, when it reported the system already inoculated, every folder it
// found already there.
uint8_t FoldersStandingAfter(const RunRecord& run);
// "krn132.exe", "wqk.exe", "wqk.dll", "WinSvc.exe"; "TROJ_VORN.A", ".C", ".E".
const char* DroppedFileName(uint32_t index);
const char* PassVariantName(uint32_t index);
// The names of the kService* bits ("KernelSvc", "Krn132", "WinSvc") and of the kValue* bits
// ("Run\krn132", "Run\wqk", "AppInit_DLLs", "Run\WinSvc"), by bit index; "" beyond them.
const char* ServiceName(uint32_t index);
const char* ValueName(uint32_t index);

// ---- The reader ---------------------------------------------------------------------------

// Lines are kept up to this many bytes; the rest of a longer line is counted, not kept.
constexpr size_t kLogLineSize = 1024;

// Receives each run once it is complete (its stop line read), or when a new run begins without
// one, or at the end of the input: then it is not finished and counts as cut short.
using RunSink = void (*)(void* context, const RunRecord& run);

enum class ReaderStage : uint8_t { kNone, kServices, kMemory, kRegistry, kDropped, kInoculation };

struct LogReader {
    RunSink sink;
    void* context;
    uint8_t foldersStanding;    // blocking folders left by the runs read so far
    bool inRun;
    ReaderStage stage;
    uint32_t pass;              // the memory pass being read
    bool processOpen;           // a scanning line whose process was identified
    bool processTerminated;
    bool processHasScanLine;
    char processText[kFailureTextSize];
    RunRecord run;
    uint64_t offset;            // bytes read so far
    uint64_t lineNumber;
    uint64_t lineOffset;        // offset of the line being assembled
    size_t lineLength;          // bytes kept of it
    bool lineCut;
    char line[kLogLineSize];
    uint64_t linesOutsideRuns;  // text before the first run, or between runs, not the cleaner's
};

// Starts a reading; `foldersStanding` are blocking folders known to stand already (bit i for
// dropped file i), e.g. found on the system itself; 0 when nothing is known.
void StartReading(LogReader* reader, RunSink sink, void* context, uint8_t foldersStanding);
// Any number of bytes, any bytes.
void ReadLogBytes(LogReader* reader, const char* bytes, size_t size);
// Ends the input: the last line is taken as it is, and a run still open is handed over as cut
// short.
void FinishReading(LogReader* reader);
