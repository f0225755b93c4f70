// A run's outcome, from what its stages reported.
#include "logread/logread.h"

#include "messages/messages.h"

namespace {

const char* const kOutcomeNames[] = {"clean", "cleaned", "incomplete", "failed"};
const char* const kPassVariantNames[kPassCount] = {"TROJ_VORN.A", "TROJ_VORN.C", "TROJ_VORN.E"};

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
        bool blocked = (run.droppedBlocked & (1u << file)) != 0;
        if (run.dropped[file] == DroppedOutcome::kDeleted ||
            (run.dropped[file] == DroppedOutcome::kDeleteFailed && !blocked)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool RunFoundSomething(const RunRecord& run)
{
    // A service stage without its "not found" line found the worm's entry, whatever became of
    // its keys; an inoculation follows only a finding.
    bool services = run.serviceStageSeen && !run.servicesNotFound && run.registryStageSeen;
    return services || run.serviceKeysDeleted != 0 || run.servicesStopped != 0 ||
           MemoryFoundSomething(run) || run.valuesRemoved != 0 || DroppedFoundSomething(run) ||
           run.inoculationSeen;
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
