// A machine's status from its latest run, the launcher's last record, its sweeps and what of
// it could not be read.
#include "report/report.h"

namespace {

const char* const kStatusNames[kStatusCount] = {"attention", "no-run", "second-run", "clean"};

MachineStatus StatusOfOutcome(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::kClean: return MachineStatus::kClean;
    case RunOutcome::kCleaned: return MachineStatus::kSecondRun;
    default: return MachineStatus::kAttention;
    }
}

}  // namespace

const char* StatusName(MachineStatus status)
{
    uint32_t index = static_cast<uint32_t>(status);
    return index < kStatusCount ? kStatusNames[index] : "";
}

bool LauncherOutcomeOf(const std::string& word, RunOutcome* outcome)
{
    static const RunOutcome kOutcomes[] = {RunOutcome::kClean, RunOutcome::kCleaned,
                                           RunOutcome::kIncomplete, RunOutcome::kFailed};
    for (RunOutcome candidate : kOutcomes) {
        if (word == OutcomeName(candidate)) {
            *outcome = candidate;
            return true;
        }
    }
    return false;
}

MachineStatus StatusOf(const MachineFacts& facts)
{
    MachineStatus status = MachineStatus::kNoRun;
    if (facts.runs > 0) {
        status = StatusOfOutcome(facts.latest);
    }
    if (facts.launches > 0) {
        MachineStatus launcher = StatusOfOutcome(facts.launcherLatest);
        if (facts.runs == 0 || launcher == MachineStatus::kAttention) {
            status = launcher;
        }
    }
    if (status == MachineStatus::kNoRun && facts.sweeps.files > 0) {
        status = MachineStatus::kClean;   // a file server: its sweeps are all there is
    }
    const SweepTally& sweeps = facts.sweeps;
    if (facts.unreadable > 0 || facts.badLines > 0 || sweeps.leftInPlace > 0 || sweeps.errors > 0 ||
        sweeps.unfinished > 0) {
        status = MachineStatus::kAttention;
    }
    return status;
}
