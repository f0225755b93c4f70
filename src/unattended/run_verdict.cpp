// The run's outcome, read from the cleaner's own messages by the one reader of them: this run's
// part of the log (the log read whole, so that the runs before tell which blocking folders
// stand), or the console capture when the log holds no whole run of it.
#include "unattended/unattended.h"

#include "logread/logread.h"
#include "run/run.h"

#include <windows.h>

#include <cstring>

namespace {

const char* const kLaunchOutcomeNames[] = {"clean", "cleaned", "incomplete", "failed"};

struct PickedRun {
    uint64_t from;     // the first run starting at or after this offset is this run's
    bool found;
    RunRecord run;
};

void PickRun(void* context, const RunRecord& run)
{
    PickedRun* picked = static_cast<PickedRun*>(context);
    if (!picked->found && run.startOffset >= picked->from) {
        picked->found = true;
        picked->run = run;
    }
}

// One reader for the whole process: it holds a line buffer and a run, too much for a stack.
LogReader gReader;

void FeedReader(void* context, const char* bytes, size_t size)
{
    ReadLogBytes(static_cast<LogReader*>(context), bytes, size);
}

void ReadRun(const char* path, uint8_t foldersStanding, PickedRun* picked)
{
    picked->found = false;
    StartReading(&gReader, PickRun, picked, foldersStanding);
    ReadFileChunks(path, FeedReader, &gReader);
    FinishReading(&gReader);
}

void CopyBounded(char* out, size_t size, const char* text)
{
    size_t length = strnlen(text, size - 1);
    memcpy(out, text, length);
    out[length] = '\0';
}

LaunchOutcome FromRunOutcome(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::kClean:
        return LaunchOutcome::kClean;
    case RunOutcome::kCleaned:
        return LaunchOutcome::kCleaned;
    case RunOutcome::kIncomplete:
        return LaunchOutcome::kIncomplete;
    case RunOutcome::kFailed:
        return LaunchOutcome::kFailed;
    }
    return LaunchOutcome::kFailed;
}

}  // namespace

const char* LaunchOutcomeName(LaunchOutcome outcome)
{
    return kLaunchOutcomeNames[static_cast<uint8_t>(outcome) & 3];
}

int LaunchExitCode(LaunchOutcome outcome)
{
    switch (outcome) {
    case LaunchOutcome::kClean:
        return kExitClean;
    case LaunchOutcome::kCleaned:
        return kExitCleaned;
    case LaunchOutcome::kIncomplete:
    case LaunchOutcome::kFailed:
        return kExitNotCleaned;
    }
    return kExitNotCleaned;
}

uint8_t BlockingFoldersStanding()
{
    char systemFolder[kPathSize];
    if (!GetSystemFolderPath(systemFolder, sizeof(systemFolder))) {
        return 0;
    }
    uint8_t standing = 0;
    for (uint32_t file = 0; file < kDroppedCount; ++file) {
        char path[kLaunchPathSize];
        if (!JoinPath(path, sizeof(path), systemFolder, DroppedFileName(file))) {
            continue;
        }
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            standing = static_cast<uint8_t>(standing | (1u << file));
        }
    }
    return standing;
}

RunVerdict ReadRunVerdict(const char* logPath, uint64_t logSizeBefore, const char* capturePath,
                          uint8_t foldersStanding)
{
    RunVerdict verdict;
    memset(&verdict, 0, sizeof(verdict));
    verdict.outcome = LaunchOutcome::kFailed;
    static PickedRun fromLog;
    static PickedRun fromCapture;
    fromLog.from = logSizeBefore;
    ReadRun(logPath, foldersStanding, &fromLog);
    const PickedRun* chosen = &fromLog;
    if (!fromLog.found || !fromLog.run.finished) {
        // The log could not be written (or not to its end): the console shows every message.
        fromCapture.from = 0;
        ReadRun(capturePath, foldersStanding, &fromCapture);
        if (fromCapture.found && (fromCapture.run.finished || !fromLog.found)) {
            chosen = &fromCapture;
        }
    }
    if (!chosen->found) {
        CopyBounded(verdict.reason, sizeof(verdict.reason),
                    "the cleaner left no run in its log or its console output");
        return verdict;
    }
    CopyBounded(verdict.platform, sizeof(verdict.platform), chosen->run.platform);
    verdict.outcome = FromRunOutcome(ClassifyRun(chosen->run));
    if (verdict.outcome == LaunchOutcome::kFailed) {
        CopyBounded(verdict.reason, sizeof(verdict.reason),
                    "the cleaner's run has no end in its log or its console output");
    }
    return verdict;
}
