// A run in a few words: what it found and what failed, for the machines table and hosts.csv.
#include "report/report.h"

namespace {

std::string NamesOfBits(uint32_t bits, const char* (*nameOf)(uint32_t index))
{
    std::string text;
    for (uint32_t index = 0; index < 32; ++index) {
        if ((bits & (1u << index)) != 0 && nameOf(index)[0] != '\0') {
            text += text.empty() ? "" : ", ";
            text += nameOf(index);
        }
    }
    return text;
}

}  // namespace

std::string FoundText(const RunRecord& run)
{
    std::vector<std::string> parts;
    uint32_t services = run.serviceKeysDeleted | run.servicesStopped;
    if (services != 0) {
        parts.push_back("services " + NamesOfBits(services, ServiceName));
    } else if (WormServiceEntryFound(run)) {
        parts.push_back("worm service entry");
    }
    uint64_t viruses = 0;
    for (uint32_t pass = 0; pass < kPassCount; ++pass) {
        if (run.passes[pass].wormsFound > 0) {
            parts.push_back(std::string(PassVariantName(pass)) + " processes " +
                            std::to_string(run.passes[pass].wormsFound));
        }
        viruses += run.passes[pass].virusesFound;
    }
    if (viruses > 0) {
        parts.push_back("PE_QUILMO processes " + std::to_string(viruses));
    }
    if (run.valuesRemoved != 0) {
        parts.push_back("start-up values " + NamesOfBits(run.valuesRemoved, ValueName));
    }
    std::string dropped;
    for (uint32_t file = 0; file < kDroppedCount; ++file) {
        if (DroppedFileFound(run, file)) {
            dropped += dropped.empty() ? "" : ", ";
            dropped += DroppedFileName(file);
        }
    }
    if (!dropped.empty()) {
        parts.push_back("dropped files " + dropped);
    }
    if (run.inoculationSeen) {
        parts.push_back(run.alreadyInoculated ? "already inoculated" : "inoculated");
    }
    return JoinBounded(parts, kSummaryTextSize);
}

const char* FailureKindName(FailureKind kind)
{
    switch (kind) {
    case FailureKind::kProcessNotEnded: return "process not ended";
    case FailureKind::kFileNotDeleted: return "file not deleted";
    case FailureKind::kDroppedNotDeleted: return "dropped file not deleted";
    case FailureKind::kServiceKeyNotDeleted: return "service key not deleted";
    }
    return "failure";
}

std::string FailureText(const FailureRecord& failure)
{
    return std::string(FailureKindName(failure.kind)) + ": " + failure.text;
}

void AppendFailureTexts(const RunRecord& run, std::vector<std::string>* texts)
{
    uint32_t kept = run.failuresKept < kMaxFailuresKept ? run.failuresKept : kMaxFailuresKept;
    for (uint32_t index = 0; index < kept; ++index) {
        texts->push_back(FailureText(run.failures[index]));
    }
    if (run.failureCount > kept) {
        texts->push_back("and " + std::to_string(run.failureCount - kept) + " more failures");
    }
    if (!run.finished) {
        texts->push_back("cut short: the run has no end");
    }
}

const char* DroppedText(const RunRecord& run, uint32_t file)
{
    if (file >= kDroppedCount) {
        return "";
    }
    switch (run.dropped[file]) {
    case DroppedOutcome::kNotReported: return "not reported";
    case DroppedOutcome::kNotFound: return "not found";
    case DroppedOutcome::kDeleted: return "deleted";
    case DroppedOutcome::kDeleteFailed:
        return (run.droppedBlocked & (1u << file)) != 0 ? "blocking folder" : "delete failed";
    }
    return "";
}

std::string JoinBounded(const std::vector<std::string>& texts, size_t limit)
{
    std::string joined;
    for (const std::string& text : texts) {
        joined += joined.empty() ? "" : "; ";
        joined += text;
        if (joined.size() > limit) {
            break;
        }
    }
    static const char kEllipsis[] = "...";
    if (joined.size() <= limit || limit < sizeof(kEllipsis)) {
        return joined.size() <= limit ? joined : std::string();
    }
    size_t keep = limit - (sizeof(kEllipsis) - 1);
    // Cut before a character, not inside one (at most three continuation bytes back).
    for (int back = 0;
         back < 3 && keep > 0 && (static_cast<unsigned char>(joined[keep]) & 0xC0) == 0x80;
         ++back) {
        --keep;
    }
    joined.resize(keep);
    joined += kEllipsis;
    return joined;
}
