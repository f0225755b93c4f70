// The unattended run from start to end: the work folder, the console capture's name, what
// stands before the run, the cleaner in its console instance, the outcome, the run's record
// in the work folder and in the results folder, and the one line on standard output.
#include "unattended/unattended.h"

#include "run/run.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kCaptureNameAttempts = 3;
constexpr char kCaptureHead[] = "console-";
constexpr char kCaptureTail[] = ".txt";
constexpr char kWorkFolderName[] = "PURGEKIT";

void SayError(const char* text)
{
    fputs("purgekit-unattended: ", stderr);
    fputs(text, stderr);
    fputs("\n", stderr);
    fflush(stderr);
}

// " (error N)" when there is an error number.
void AppendErrorNumber(char* out, size_t size, uint32_t error)
{
    if (error != 0) {
        AppendText(out, size, " (error ");
        AppendDecimal(out, size, static_cast<int32_t>(error));
        AppendText(out, size, ")");
    }
}

void AppendHex(char* out, size_t size, uint32_t value)
{
    char digits[11] = {'0', 'x'};
    for (int i = 0; i < 8; ++i) {
        digits[2 + i] = "0123456789ABCDEF"[(value >> (28 - 4 * i)) & 0xF];
    }
    digits[10] = '\0';
    AppendText(out, size, digits);
}

// The full path of `given`, or of the Windows folder's PURGEKIT; created when missing.
// RETURNS 0 or the error number.
uint32_t PrepareWorkFolder(const char* given, char* out, size_t size)
{
    char path[kLaunchPathSize];
    if (given[0] == '\0') {
        char windows[kLaunchPathSize];
        UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
        if (length == 0 || length >= sizeof(windows)) {
            return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        }
        if (!JoinPath(path, sizeof(path), windows, kWorkFolderName)) {
            return ERROR_FILENAME_EXCED_RANGE;
        }
        given = path;
    }
    char* filePart = nullptr;
    DWORD length = GetFullPathNameA(given, static_cast<DWORD>(size), out, &filePart);
    if (length == 0 || length >= size) {
        out[0] = '\0';
        return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    }
    return EnsureFolder(out);
}

// Creates the console capture file, named after the run's start in UTC; a name taken already
// (a run in the same second) is tried again a second later. RETURNS 0 or the error number.
uint32_t ReserveCaptureFile(const char* work, UtcTime* started, char* name, size_t nameSize,
                            char* path, size_t pathSize)
{
    uint32_t error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kCaptureNameAttempts; ++attempt) {
        if (attempt > 0) {
            Sleep(1000);
        }
        *started = CurrentUtcTime();
        char stamp[kUtcTextSize];
        FormatCompactUtc(*started, stamp, sizeof(stamp));
        ComposeText(name, nameSize, kCaptureHead, stamp, kCaptureTail);
        if (!JoinPath(path, pathSize, work, name)) {
            return ERROR_FILENAME_EXCED_RANGE;
        }
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return 0;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return error;
        }
    }
    return error;
}

// Why a console did not let the cleaner run to its end, or "" when it did.
void DescribeConsoleStatus(int32_t status, uint32_t error, uint32_t timeoutSeconds, char* out,
                           size_t size)
{
    out[0] = '\0';
    switch (status) {
    case kConsoleCleanerEnded:
        return;
    case kConsoleNone:
        CopyText(out, size, "no console: AllocConsole failed");
        AppendErrorNumber(out, size, error);
        return;
    case kConsoleNoInput:
        CopyText(out, size, "no console input: CONIN$ cannot be opened");
        AppendErrorNumber(out, size, error);
        return;
    case kConsoleKeysNotQueued:
        CopyText(out, size, "the console refused the key presses: WriteConsoleInputA failed");
        AppendErrorNumber(out, size, error);
        return;
    case kConsoleKeysShort:
        CopyText(out, size, "the console took ");
        AppendDecimal(out, size, static_cast<int32_t>(error));
        AppendText(out, size, " of 4 key records");
        return;
    case kConsoleNoCapture:
        CopyText(out, size, "the console output file cannot be opened");
        AppendErrorNumber(out, size, error);
        return;
    case kConsoleCleanerNotStarted:
        CopyText(out, size, "purgekit.exe cannot be started");
        AppendErrorNumber(out, size, error);
        return;
    case kConsoleTimedOut:
        CopyText(out, size, "purgekit.exe did not end within ");
        AppendDecimal(out, size, static_cast<int32_t>(timeoutSeconds));
        AppendText(out, size, " s and was ended");
        return;
    default:
        CopyText(out, size, "the console instance was started with wrong arguments");
        return;
    }
}

// Runs the cleaner in the console instance's new console; when that console takes no key
// presses (Wine gives such a console where there is no display), in the launcher's own
// console, if it has one that takes them (a terminal). RETURNS why the run did not get to its
// end in `out`, or "" when it did.
void RunCleanerInAConsole(const char* cleaner, const char* work, const char* captureName,
                          const char* capturePath, uint32_t timeoutSeconds, char* out,
                          size_t size)
{
    uint32_t exitCode = 0;
    uint32_t error = 0;
    int32_t instance = RunConsoleInstanceOf(work, captureName, timeoutSeconds, &exitCode, &error);
    if (instance == kInstanceNoOwnPath) {
        CopyText(out, size, "the launcher's own path is unknown or too long");
        return;
    }
    if (instance == kInstanceNotStarted) {
        CopyText(out, size, "the console instance cannot be started");
        AppendErrorNumber(out, size, error);
        return;
    }
    if (instance == kInstanceNotEnded) {
        CopyText(out, size, "the console instance did not end in time and was ended");
        return;
    }
    int32_t status = 0;
    if (!DecodeConsoleReport(exitCode, &status, &error)) {
        CopyText(out, size, "the console instance ended with ");
        AppendHex(out, size, exitCode);
        return;
    }
    DescribeConsoleStatus(status, error, timeoutSeconds, out, size);
    if (!IsConsoleFailure(status)) {
        return;
    }
    char ownConsole[kReasonSize];
    status = RunCleanerInConsole(cleaner, work, capturePath, timeoutSeconds, &error);
    DescribeConsoleStatus(status, error, timeoutSeconds, ownConsole, sizeof(ownConsole));
    if (!IsConsoleFailure(status)) {
        CopyText(out, size, ownConsole);
        return;
    }
    AppendText(out, size, "; in the launcher's own console: ");
    AppendText(out, size, ownConsole);
}

// Checks the launcher's folder and runs the cleaner. RETURNS the verdict; its reason says why
// a run failed.
RunVerdict RunCleanerOnce(const LaunchOptions& options, const char* work, const char* captureName,
                          const char* capturePath, const char* logPath, uint64_t logSizeBefore,
                          uint8_t foldersStanding)
{
    RunVerdict verdict;
    memset(&verdict, 0, sizeof(verdict));
    verdict.outcome = LaunchOutcome::kFailed;
    char folder[kLaunchPathSize];
    char cleaner[kLaunchPathSize];
    if (!GetOwnFolder(folder, sizeof(folder)) ||
        !JoinPath(cleaner, sizeof(cleaner), folder, kCleanerFileName)) {
        CopyText(verdict.reason, sizeof(verdict.reason), "the launcher's own folder is unknown");
        return verdict;
    }
    const char* planted = FindPlantedLibrary(folder);
    if (planted != nullptr) {
        ComposeText(verdict.reason, sizeof(verdict.reason),
                    "refused to start purgekit.exe: its folder holds ", planted,
                    ", which Windows would load in place of its own library: ");
        AppendText(verdict.reason, sizeof(verdict.reason), folder);
        AppendText(verdict.reason, sizeof(verdict.reason), planted);
        return verdict;
    }
    DWORD attributes = GetFileAttributesA(cleaner);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ComposeText(verdict.reason, sizeof(verdict.reason), "purgekit.exe not found: ", cleaner,
                    "");
        return verdict;
    }
    char launchFailure[kReasonSize];
    RunCleanerInAConsole(cleaner, work, captureName, capturePath, options.timeoutSeconds,
                         launchFailure, sizeof(launchFailure));
    verdict = ReadRunVerdict(logPath, logSizeBefore, capturePath, foldersStanding);
    if (launchFailure[0] != '\0') {
        // The messages may still tell the platform; the run itself failed.
        verdict.outcome = LaunchOutcome::kFailed;
        CopyText(verdict.reason, sizeof(verdict.reason), launchFailure);
    }
    return verdict;
}

// Copies the log and the capture into DIR\<computer> and appends the record there.
// RETURNS 0 or the error number; `failed` names what could not be written.
uint32_t FileResults(const char* results, const char* hostFolder, const char* logPath,
                     const char* capturePath, const char* captureName, const char* line,
                     char* target, size_t targetSize, char* failed, size_t failedSize)
{
    char root[kLaunchPathSize];
    char* filePart = nullptr;
    DWORD length = GetFullPathNameA(results, sizeof(root), root, &filePart);
    if (length == 0 || length >= sizeof(root)) {
        CopyText(failed, failedSize, results);
        return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    }
    uint32_t error = EnsureFolder(root);
    if (error != 0) {
        CopyText(failed, failedSize, root);
        return error;
    }
    if (!JoinPath(target, targetSize, root, hostFolder)) {
        CopyText(failed, failedSize, root);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    error = EnsureFolder(target);
    if (error != 0) {
        CopyText(failed, failedSize, target);
        return error;
    }
    char path[kLaunchPathSize];
    uint64_t logSize = 0;
    const struct {
        const char* source;   // null: the record
        const char* name;
    } files[] = {
        {GetFileSizeOf(logPath, &logSize) ? logPath : "", kLogName},
        {capturePath, captureName},
        {nullptr, kRunsName},
    };
    for (const auto& file : files) {
        if (file.source != nullptr && file.source[0] == '\0') {
            continue;   // no log to copy: the cleaner could not write one
        }
        if (!JoinPath(path, sizeof(path), target, file.name)) {
            CopyText(failed, failedSize, target);
            return ERROR_FILENAME_EXCED_RANGE;
        }
        error = file.source != nullptr ? CopyWholeFile(file.source, path)
                                       : AppendToFile(path, line, strlen(line));
        if (error != 0) {
            CopyText(failed, failedSize, path);
            return error;
        }
    }
    return 0;
}

}  // namespace

int RunUnattended(const LaunchOptions& options)
{
    char message[kReasonSize + kLaunchPathSize];
    char work[kLaunchPathSize] = {};
    uint32_t error = PrepareWorkFolder(options.work, work, sizeof(work));
    if (error != 0) {
        ComposeText(message, sizeof(message), "the work folder cannot be made: ",
                    work[0] != '\0' ? work : options.work, "");
        AppendErrorNumber(message, sizeof(message), error);
        SayError(message);
        return kExitNotCleaned;
    }
    char host[kComputerNameSize];
    char hostFolder[kComputerNameSize];
    GetComputerNameText(host, sizeof(host));
    SafeFolderName(host, hostFolder, sizeof(hostFolder));

    UtcTime started = {};
    char captureName[64];
    char capturePath[kLaunchPathSize];
    error = ReserveCaptureFile(work, &started, captureName, sizeof(captureName), capturePath,
                               sizeof(capturePath));
    char logPath[kLaunchPathSize];
    char runsPath[kLaunchPathSize];
    if (error != 0 || !JoinPath(logPath, sizeof(logPath), work, kLogName) ||
        !JoinPath(runsPath, sizeof(runsPath), work, kRunsName)) {
        ComposeText(message, sizeof(message), "cannot write in the work folder ", work, "");
        AppendErrorNumber(message, sizeof(message), error);
        SayError(message);
        return kExitNotCleaned;
    }

    // What stands before the run: the log's end (this run's part starts after it) and the
    // blocking folders (their "delete failed" is the inoculation working).
    uint64_t logSizeBefore = 0;
    if (!GetFileSizeOf(logPath, &logSizeBefore)) {
        logSizeBefore = 0;
    }
    uint8_t foldersStanding = BlockingFoldersStanding();
    RunVerdict verdict = RunCleanerOnce(options, work, captureName, capturePath, logPath,
                                        logSizeBefore, foldersStanding);
    UtcTime ended = CurrentUtcTime();
    int exitCode = LaunchExitCode(verdict.outcome);
    if (verdict.reason[0] != '\0' && verdict.outcome == LaunchOutcome::kFailed) {
        SayError(verdict.reason);
    }

    char startedText[kUtcTextSize];
    char endedText[kUtcTextSize];
    FormatIsoUtc(started, startedText, sizeof(startedText));
    FormatIsoUtc(ended, endedText, sizeof(endedText));
    RunRecordLine record = {host, startedText, endedText, verdict.platform,
                            LaunchOutcomeName(verdict.outcome), exitCode, captureName,
                            verdict.outcome == LaunchOutcome::kFailed ? verdict.reason : ""};
    static char line[kRunLineSize];
    ComposeRunLine(record, line, sizeof(line));

    // The work folder keeps its own record; the results folder gets the files and the record.
    const char* resultsWent = work;
    error = AppendToFile(runsPath, line, strlen(line));
    if (error != 0) {
        ComposeText(message, sizeof(message), "cannot write ", runsPath, "");
        AppendErrorNumber(message, sizeof(message), error);
        SayError(message);
        exitCode = kExitNotCleaned;
    }
    char target[kLaunchPathSize] = {};
    if (options.results[0] != '\0') {
        char failed[kLaunchPathSize] = {};
        error = FileResults(options.results, hostFolder, logPath, capturePath, captureName, line,
                            target, sizeof(target), failed, sizeof(failed));
        if (error != 0) {
            ComposeText(message, sizeof(message), "the results cannot be written: ", failed,
                        "; they stay in ");
            AppendText(message, sizeof(message), work);
            AppendErrorNumber(message, sizeof(message), error);
            SayError(message);
            exitCode = kExitNotCleaned;
        } else {
            resultsWent = target;
        }
    }
    ComposeText(message, sizeof(message), host, ": ", LaunchOutcomeName(verdict.outcome));
    AppendText(message, sizeof(message), "; results in ");
    AppendText(message, sizeof(message), resultsWent);
    AppendText(message, sizeof(message), "\n");
    fputs(message, stdout);
    fflush(stdout);
    return exitCode;
}
