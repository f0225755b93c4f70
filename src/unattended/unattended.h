// purgekit-unattended: runs the cleaner where nobody sits at its console (start-up and logon
// scripts, PsExec, deployment tools). The cleaner's two key waits read the console itself, so
// the launcher gives it a console of its own (a second, hidden instance of the launcher that
// owns a new console), queues exactly two key presses in that console's input buffer before the
// cleaner starts, captures the cleaner's output in a file, reads the run's outcome from the
// cleaner's own messages and files the results per computer.
//
//     purgekit-unattended.exe [--work DIR] [--results DIR] [--timeout SECONDS]
//
// Plain Win32 with narrow calls only, and only functions that Windows 95, 98, ME and NT 3.51
// already have: the launcher reaches every system the cleaner does.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kLaunchPathSize = 260;   // MAX_PATH: every path the launcher composes

// ---- Exit codes (the deployment tools' conventions; 3010 is their "restart required") ----
constexpr int kExitClean = 0;
constexpr int kExitCleaned = 3010;
constexpr int kExitNotCleaned = 1;   // incomplete or failed; results not written; no work folder
constexpr int kExitUsage = 2;        // a usage error: the usage goes to standard error

// ---- Options ------------------------------------------------------------------------------
constexpr uint32_t kDefaultTimeoutSeconds = 540;   // under the start-up scripts' 600 s
constexpr uint32_t kMaxTimeoutSeconds = 604800;    // a week: the milliseconds fit a DWORD

struct LaunchOptions {
    char work[kLaunchPathSize];      // empty: the Windows folder's PURGEKIT
    char results[kLaunchPathSize];   // empty: the results stay in the work folder
    uint32_t timeoutSeconds;
};

constexpr int32_t kOptionsOk = 0;
constexpr int32_t kOptionsHelp = 1;     // --help: the usage goes to standard output
constexpr int32_t kOptionsUsage = -2;   // *problem says what is wrong

// Parses the arguments after the program name. RETURNS kOptionsOk, kOptionsHelp, or
// kOptionsUsage with the reason in `problem` (an unknown option, a missing or empty value, a
// path longer than kLaunchPathSize - 1, a timeout that is not a whole number from 1 to
// kMaxTimeoutSeconds, an option given twice).
int32_t ParseLaunchOptions(int count, const char* const* arguments, LaunchOptions* options,
                           char* problem, size_t problemSize);
const char* LaunchUsageText();

// ---- The console instance (internal) ------------------------------------------------------
// The launcher starts a second instance of itself with this first argument, which users never
// type: `purgekit-unattended.exe --internal-console-instance SECONDS CAPTURE`. That instance
// owns the new console, queues the key presses, runs the cleaner from the launcher's folder
// with the current folder it was given (the work folder), its output going to the file CAPTURE
// there, and ends with a report as its exit code (below).
constexpr char kConsoleInstanceArgument[] = "--internal-console-instance";

// What the console instance reports: a status in the low byte, the platform's error number of
// the failing call above it, and a tag in the high byte that tells a report from anything else
// a process can end with (an exception code, a termination).
constexpr uint32_t kConsoleReportTag = 0x50000000u;
constexpr uint32_t kConsoleReportTagMask = 0xFF000000u;
constexpr uint32_t kConsoleReportErrorMask = 0xFFFFu;

constexpr int32_t kConsoleCleanerEnded = 0;      // the cleaner ran and ended by itself
constexpr int32_t kConsoleNone = 1;              // no console: AllocConsole failed
constexpr int32_t kConsoleNoInput = 2;           // CONIN$ cannot be opened
constexpr int32_t kConsoleKeysNotQueued = 3;     // WriteConsoleInputA failed
constexpr int32_t kConsoleKeysShort = 4;         // fewer records written than queued
constexpr int32_t kConsoleNoCapture = 5;         // the capture file cannot be opened
constexpr int32_t kConsoleCleanerNotStarted = 6; // CreateProcessA failed for the cleaner
constexpr int32_t kConsoleTimedOut = 7;          // ended at the timeout
constexpr int32_t kConsoleBadArguments = 8;      // the internal arguments are malformed

uint32_t ComposeConsoleReport(int32_t status, uint32_t error);
// RETURNS false when `exitCode` is no report of the console instance.
bool DecodeConsoleReport(uint32_t exitCode, int32_t* status, uint32_t* error);

// The key presses queued: each a key-down and a key-up record, repeat count 1.
constexpr uint32_t kQueuedKeyPresses = 2;
constexpr char kQueuedKeyCharacter = 'k';

// RETURNS kConsoleCleanerEnded or the failure (`error`: the platform's error number).
int32_t QueueKeyPresses(uint32_t* error);
// Whether a status tells that the console took no key presses (the cleaner never started).
bool IsConsoleFailure(int32_t status);
// Queues the key presses in this process's console, then runs the cleaner in it with the
// current folder `currentFolder` (null: this process's) and its standard output and error
// going to `capturePath`, ending it after `seconds`. RETURNS kConsoleCleanerEnded or the
// failure (`error`: the platform's error number).
int32_t RunCleanerInConsole(const char* cleanerPath, const char* currentFolder,
                            const char* capturePath, uint32_t seconds, uint32_t* error);
// The console instance's whole life; `arguments` from kConsoleInstanceArgument on. RETURNS its
// exit code (a report).
uint32_t RunConsoleInstance(int count, const char* const* arguments);

// The launcher's side: starts the console instance (CREATE_NEW_CONSOLE, hidden window) in
// `workFolder` and waits for it: the cleaner's timeout and a grace period for the instance's
// own start and end.
constexpr uint32_t kInstanceGraceSeconds = 60;
constexpr int32_t kInstanceEnded = 0;          // *exitCode holds what it ended with
constexpr int32_t kInstanceNoOwnPath = -40;    // the launcher's own path is unknown or too long
constexpr int32_t kInstanceNotStarted = -41;   // CreateProcessA failed (*error)
constexpr int32_t kInstanceNotEnded = -42;     // still running after the grace period: ended
int32_t RunConsoleInstanceOf(const char* workFolder, const char* captureName,
                             uint32_t timeoutSeconds, uint32_t* exitCode, uint32_t* error);

// ---- The launcher's own folder ------------------------------------------------------------
constexpr char kCleanerFileName[] = "purgekit.exe";

// The launcher's own path and its folder (with a trailing backslash). RETURNS false when the
// platform gives no path or a longer one than the buffer holds.
bool GetOwnPath(char* out, size_t size);
bool GetOwnFolder(char* out, size_t size);

// The libraries the loader would take from the cleaner's folder before the system's: a file of
// one of these names there would run with the administrator's rights.
constexpr const char* kPlantableLibraries[] = {"CRTDLL.DLL", "PSAPI.DLL", "SHLWAPI.DLL"};
// RETURNS the name of the first such file in `folder` (ending in a backslash), or null.
const char* FindPlantedLibrary(const char* folder);

// ---- The computer ---------------------------------------------------------------------------
constexpr size_t kComputerNameSize = 64;
// The computer name, or "UNKNOWN" when the platform gives none.
void GetComputerNameText(char* out, size_t size);
// The name as a folder name that is safe anywhere: ASCII letters, digits, '-', '_' and inner
// '.' kept, every other byte '_', a device name (CON, NUL, COM1, ...) prefixed with '_', never
// empty, at most size - 1 bytes.
void SafeFolderName(const char* name, char* out, size_t size);

// ---- Time -----------------------------------------------------------------------------------
struct UtcTime {
    uint16_t year, month, day, hour, minute, second;
};
UtcTime CurrentUtcTime();
// "2026-12-07T15:30:12Z" and "20261207T153012Z" (buffers of at least kUtcTextSize bytes).
constexpr size_t kUtcTextSize = 24;
void FormatIsoUtc(const UtcTime& time, char* out, size_t size);
void FormatCompactUtc(const UtcTime& time, char* out, size_t size);

// ---- Files ----------------------------------------------------------------------------------
constexpr char kLogName[] = "PURGEKIT.LOG";
constexpr char kRunsName[] = "runs.jsonl";

// RETURNS the file's size, or false when it cannot be opened (e.g. it does not exist).
bool GetFileSizeOf(const char* path, uint64_t* size);
// Reads the whole file in chunks handed to `sink`. RETURNS false when it cannot be opened or
// read.
using ChunkSink = void (*)(void* context, const char* bytes, size_t size);
bool ReadFileChunks(const char* path, ChunkSink sink, void* context);
// Copies `from` over `to` (created or truncated, plain attributes). RETURNS 0, or the
// platform's error number of the failing step.
uint32_t CopyWholeFile(const char* from, const char* to);
// Appends `size` bytes to `path` (created when missing). RETURNS 0 or the error number.
uint32_t AppendToFile(const char* path, const char* bytes, size_t size);
// Creates the folder unless a folder of that name stands already. RETURNS 0 or the error.
uint32_t EnsureFolder(const char* path);
// `folder` + "\" (unless it ends in one) + `name`; RETURNS false when it does not fit.
bool JoinPath(char* out, size_t size, const char* folder, const char* name);

// ---- The run's outcome ----------------------------------------------------------------------
enum class LaunchOutcome : uint8_t { kClean, kCleaned, kIncomplete, kFailed };
const char* LaunchOutcomeName(LaunchOutcome outcome);   // "clean", "cleaned", ...
int LaunchExitCode(LaunchOutcome outcome);              // 0, 3010, 1, 1

// The four blocking folders that stand in the system folder now (bit i for dropped file i, in
// the dropped-file stage's order).
uint8_t BlockingFoldersStanding();

constexpr size_t kReasonSize = 2 * kLaunchPathSize + 128;   // a reason may name two paths

struct RunVerdict {
    LaunchOutcome outcome;
    char platform[32];            // the platform line's name, empty when none was read
    char reason[kReasonSize];     // why the run failed, when the messages tell (else empty)
};

// Reads this run's messages: the run of the log that starts at or after `logSizeBefore` (the
// log read whole, so that its history tells which blocking folders stand), or, when the log
// holds no whole run of it, the console capture. `foldersStanding`: the blocking folders that
// stood before the run.
RunVerdict ReadRunVerdict(const char* logPath, uint64_t logSizeBefore, const char* capturePath,
                          uint8_t foldersStanding);

// ---- Results ----------------------------------------------------------------------------------
struct RunRecordLine {
    const char* host;
    const char* started;     // ISO 8601, UTC
    const char* ended;
    const char* platform;
    const char* outcome;
    int exitCode;
    const char* console;     // the capture's file name
    const char* reason;      // empty: none
};
// One JSON object and its line feed, in `out`. RETURNS false when it does not fit, which the
// launcher's bounded texts never make happen in kRunLineSize bytes.
constexpr size_t kRunLineSize = 8192;
bool ComposeRunLine(const RunRecordLine& line, char* out, size_t size);

// ---- The launcher ---------------------------------------------------------------------------
// The whole unattended run; RETURNS the exit code.
int RunUnattended(const LaunchOptions& options);
