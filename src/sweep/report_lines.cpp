// What the sweep prints: per file, per error and the summary, in text or as JSON Lines.
#include "sweep/sweep.h"
#include "sweep/sweep_platform.h"

#include <cstdio>

namespace {

void AppendNumber(std::string* out, uint64_t value)
{
    char digits[24];
    std::snprintf(digits, sizeof(digits), "%llu", static_cast<unsigned long long>(value));
    out->append(digits);
}

void AppendJsonField(std::string* out, const char* name, const std::string& value)
{
    out->append(",\"");
    out->append(name);
    out->append("\":");
    AppendJsonString(out, value);
}

// The quarantined file's path as printed: the folder as given, then the new name.
std::string QuarantinePath(const SweepOptions& options, const std::string& name)
{
    std::string folder = options.moveTo;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder.push_back(folder.find('\\') != std::string::npos ? '\\' : '/');
    }
    return folder + name;
}

void FormatJsonOutcome(const FileOutcome& outcome, std::string* out)
{
    if (outcome.error != 0) {
        out->append("{\"type\":\"error\",\"path\":");
        AppendJsonString(out, outcome.path);
        AppendJsonField(out, "error", ReasonText(outcome.error));
        out->append("}\n");
        return;
    }
    if (outcome.variants == 0) {
        return;
    }
    out->append("{\"type\":\"found\",\"path\":");
    AppendJsonString(out, outcome.path);
    out->append(",\"size\":");
    AppendNumber(out, outcome.size);
    out->append(",\"variants\":[");
    bool first = true;
    for (uint32_t index = 0; index < kVariantCount; ++index) {
        if (outcome.variants & (1u << index)) {
            out->append(first ? "\"" : ",\"");
            out->append(VariantName(index));
            out->append("\"");
            first = false;
        }
    }
    out->append("]");
    switch (outcome.action) {
    case FoundAction::kMoved:
        out->append(",\"action\":\"moved\"");
        AppendJsonField(out, "quarantine", outcome.quarantineName);
        break;
    case FoundAction::kRemoved:
        out->append(",\"action\":\"removed\"");
        break;
    case FoundAction::kFailed:
        out->append(",\"action\":\"failed\"");
        AppendJsonField(out, "error", ReasonText(outcome.actionError));
        break;
    case FoundAction::kNone:
        break;
    }
    out->append("}\n");
}

void FormatTextOutcome(const SweepOptions& options, const FileOutcome& outcome, std::string* out,
                       std::string* err)
{
    if (outcome.error != 0) {
        err->append(outcome.path + ": ERROR: " + ReasonText(outcome.error) + "\n");
        return;
    }
    if (outcome.variants == 0) {
        if (!options.infectedOnly && !options.quiet) {
            out->append(outcome.path + ": OK\n");
        }
        return;
    }
    for (uint32_t index = 0; index < kVariantCount; ++index) {
        if (outcome.variants & (1u << index)) {
            out->append(outcome.path + ": " + VariantName(index) + " FOUND\n");
        }
    }
    switch (outcome.action) {
    case FoundAction::kMoved:
        out->append(outcome.path + ": moved to " + QuarantinePath(options, outcome.quarantineName) +
                    "\n");
        break;
    case FoundAction::kRemoved:
        out->append(outcome.path + ": removed\n");
        break;
    case FoundAction::kFailed:
        err->append(outcome.path + ": ERROR: " + ReasonText(outcome.actionError) + "\n");
        break;
    case FoundAction::kNone:
        break;
    }
}

}  // namespace

std::string ReasonText(int32_t error)
{
    switch (error) {
    case kErrorChangedSinceScan: return "changed since it was scanned";
    case kErrorQuarantineNotOwned: return "not owned by the user running the sweep";
    case kErrorQuarantineOpenToOthers: return "writable by group or others";
    case kErrorQuarantineLink: return "a link or junction (reparse point)";
    default: return ErrorText(error);
    }
}

void FormatOutcome(const SweepOptions& options, const FileOutcome& outcome, std::string* out,
                   std::string* err)
{
    if (options.json) {
        FormatJsonOutcome(outcome, out);
    } else {
        FormatTextOutcome(options, outcome, out, err);
    }
}

void FormatPathError(const SweepOptions& options, const std::string& path, int32_t error,
                     std::string* out, std::string* err)
{
    FileOutcome outcome;
    outcome.path = path;
    outcome.error = error;
    FormatOutcome(options, outcome, out, err);
}

void FormatSkipped(const SweepOptions& options, const std::string& path, std::string* out)
{
    static const char kReason[] = "data not on the disk";
    if (options.json) {
        out->append("{\"type\":\"skipped\",\"path\":");
        AppendJsonString(out, path);
        AppendJsonField(out, "reason", kReason);
        out->append("}\n");
    } else if (!options.infectedOnly && !options.quiet) {
        out->append(path + ": SKIPPED: " + kReason + "\n");
    }
}

void FormatSummary(const SweepOptions& options, uint64_t scanned, uint64_t found, uint64_t errors,
                   uint64_t skipped, double seconds, std::string* out)
{
    uint64_t perSecond = static_cast<uint64_t>(
        static_cast<double>(scanned) / (seconds > 0.001 ? seconds : 0.001) + 0.5);
    char time[32];
    std::snprintf(time, sizeof(time), "%.3f", seconds);
    if (options.json) {
        out->append("{\"type\":\"summary\",\"scanned\":");
        AppendNumber(out, scanned);
        out->append(",\"found\":");
        AppendNumber(out, found);
        out->append(",\"errors\":");
        AppendNumber(out, errors);
        if (skipped > 0) {
            out->append(",\"skipped\":");
            AppendNumber(out, skipped);
        }
        out->append(",\"seconds\":");
        out->append(time);
        out->append(",\"files_per_second\":");
        AppendNumber(out, perSecond);
        out->append("}\n");
        return;
    }
    out->append("----------- SCAN SUMMARY -----------\nFiles scanned: ");
    AppendNumber(out, scanned);
    out->append("\nFiles found: ");
    AppendNumber(out, found);
    out->append("\nErrors: ");
    AppendNumber(out, errors);
    if (skipped > 0) {
        out->append("\nFiles skipped: ");
        AppendNumber(out, skipped);
    }
    out->append("\nTime: ");
    out->append(time);
    out->append(" s\nFiles per second: ");
    AppendNumber(out, perSecond);
    out->append("\n");
}
