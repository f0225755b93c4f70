// A run's outcome, from what its stages reported.
#include "logread/logread.h"

#include "messages/messages.h"

namespace {

const char* const kOutcomeNames[] = {"clean", "cleaned", "incomplete", "failed"};
const char* const kPassVariantNames[kPassCount] = {"TROJ_VORN.A", "TROJ_VORN.C", "TROJ_VORN.E"};
const char* const kServiceNames[] = {"KernelSvc", "Krn132", "WinSvc"};
const char* const kValueNames[] = {"Run\\krn132", "Run\\wqk", "AppInit_DLLs", "Run\\WinSvc"};

bool MemoryFoundSomething(const RunRecord& run)
{
    for (const PassRecord& pass : run.passes) {
        if (pass.wormsFound > 0 || pass.virusesFound > 0) {
            return true;
        }
    }
    return false;
}

bool DroppedFoundSomething(const RunRecord& run)
{
    for (uint32_t file = 0; file < kDroppedCount; ++file) {
        if (DroppedFileFound(run, file)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool RunFoundSomething(const RunRecord& run)
{
    // An inoculation follows only a finding.
    return WormServiceEntryFound(run) || run.serviceKeysDeleted != 0 ||
           run.servicesStopped != 0 || MemoryFoundSomething(run) || run.valuesRemoved != 0 ||
           DroppedFoundSomething(run) || run.inoculationSeen;
}

bool WormServiceEntryFound(const RunRecord& run)
{
    return run.serviceStageSeen && !run.servicesNotFound && run.registryStageSeen;
}

bool DroppedFileFound(const RunRecord& run, uint32_t file)
{
    if (file >= kDroppedCount) {
        return false;
    }
    bool blocked = (run.droppedBlocked & (1u << file)) != 0;
    return run.dropped[file] == DroppedOutcome::kDeleted ||
           (run.dropped[file] == DroppedOutcome::kDeleteFailed && !blocked);
}

RunOutcome ClassifyRun(const RunRecord& run)
{
    if (!run.finished) {
        return RunOutcome::kFailed;
    }
    if (run.failureCount > 0) {
        return RunOutcome::kIncomplete;
    }
    return RunFoundSomething(run) ? RunOutcome::kCleaned : RunOutcome::kClean;
}

const char* OutcomeName(RunOutcome outcome)
{
    return kOutcomeNames[static_cast<uint8_t>(outcome) & 3];
}

uint8_t FoldersStandingAfter(const RunRecord& run)
{
    uint8_t standing = run.foldersCreated;
    if (run.alreadyInoculated) {
        standing |= run.foldersExisting;
    }
    return standing;
}

const char* DroppedFileName(uint32_t index)
{
    return index < kDroppedCount ? kDroppedFileNames[index] : "";
}

const char* PassVariantName(uint32_t index)
{
    return index < kPassCount ? kPassVariantNames[index] : "";
}

const char* ServiceName(uint32_t index)
{
    return index < sizeof(kServiceNames) / sizeof(kServiceNames[0]) ? kServiceNames[index] : "";
}

const char* ValueName(uint32_t index)
{
    return index < sizeof(kValueNames) / sizeof(kValueNames[0]) ? kValueNames[index] : "";
}
