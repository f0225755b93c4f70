// The lines of the JSON Lines inputs: the launcher's records (runs.jsonl) and the sweep's
// lines (purgekit-scan --json), checked for the fields the report uses, and written out again
// as runs.jsonl and findings.jsonl objects.
#include "report/json_fields.h"
#include "report/report.h"

namespace {

// A string member. RETURNS false (with *problem) when it is there but not a string, or
// missing while `required`.
bool TakeString(const std::vector<JsonMember>& members, const char* name, bool required,
                std::string* value, std::string* problem)
{
    const JsonMember* member = FindJsonMember(members, name);
    value->clear();
    if (member == nullptr) {
        if (required) {
            *problem = std::string("no \"") + name + "\"";
        }
        return !required;
    }
    if (member->kind != JsonKind::kString) {
        *problem = std::string("\"") + name + "\" is not a string";
        return false;
    }
    *value = member->text;
    return true;
}

}  // namespace

bool ReadLauncherRecord(const std::vector<JsonMember>& members, LauncherRecord* record,
                        std::string* problem)
{
    std::string outcome;
    if (!TakeString(members, "host", true, &record->host, problem) ||
        !TakeString(members, "started", true, &record->started, problem) ||
        !TakeString(members, "ended", false, &record->ended, problem) ||
        !TakeString(members, "platform", false, &record->platform, problem) ||
        !TakeString(members, "console", false, &record->console, problem) ||
        !TakeString(members, "outcome", true, &outcome, problem)) {
        return false;
    }
    if (!LauncherOutcomeOf(outcome, &record->outcome)) {
        *problem = "\"outcome\" is none of clean, cleaned, incomplete, failed";
        return false;
    }
    const JsonMember* exitCode = FindJsonMember(members, "exit_code");
    record->hasExitCode = exitCode != nullptr;
    record->exitCode = 0;
    if (exitCode != nullptr && !JsonInteger(*exitCode, &record->exitCode)) {
        *problem = "\"exit_code\" is not an integer";
        return false;
    }
    return true;
}

void AppendLauncherJson(std::string* out, const std::string& host, const std::string& source,
                        uint64_t index, const LauncherRecord& record)
{
    out->push_back('{');
    AppendJsonStringMember(out, "host", host);
    AppendJsonStringMember(out, "source", source);
    AppendJsonNumberMember(out, "run", index);
    AppendJsonStringMember(out, "recorded_host", record.host);
    AppendJsonStringMember(out, "started", record.started);
    AppendJsonStringMember(out, "ended", record.ended);
    AppendJsonStringMember(out, "platform", record.platform);
    AppendJsonStringMember(out, "outcome", OutcomeName(record.outcome));
    AppendJsonKey(out, "exit_code");
    out->append(record.hasExitCode ? std::to_string(record.exitCode) : std::string("null"));
    AppendJsonStringMember(out, "console", record.console);
    out->append("}\n");
}

bool ReadSweepLine(const std::vector<JsonMember>& members, SweepLine* line, std::string* problem)
{
    std::string type;
    if (!TakeString(members, "type", true, &type, problem)) {
        return false;
    }
    line->variants.clear();
    line->size = 0;
    if (type == "summary") {
        line->kind = SweepLineKind::kSummary;
        return true;
    }
    if (type == "error") {
        line->kind = SweepLineKind::kError;
        return TakeString(members, "path", true, &line->path, problem) &&
               TakeString(members, "error", false, &line->error, problem);
    }
    if (type != "found") {
        *problem = "\"type\" is none of found, error, summary";
        return false;
    }
    line->kind = SweepLineKind::kFound;
    if (!TakeString(members, "path", true, &line->path, problem) ||
        !TakeString(members, "action", false, &line->action, problem) ||
        !TakeString(members, "quarantine", false, &line->quarantine, problem) ||
        !TakeString(members, "error", false, &line->error, problem)) {
        return false;
    }
    const JsonMember* variants = FindJsonMember(members, "variants");
    if (variants == nullptr || variants->kind != JsonKind::kArray || variants->strings.empty()) {
        *problem = "\"variants\" is not a list of names";
        return false;
    }
    line->variants = variants->strings;
    const JsonMember* size = FindJsonMember(members, "size");
    int64_t bytes = 0;
    if (size != nullptr && (!JsonInteger(*size, &bytes) || bytes < 0)) {
        *problem = "\"size\" is not a size";
        return false;
    }
    line->size = static_cast<uint64_t>(bytes);
    if (!line->action.empty() && line->action != "moved" && line->action != "removed" &&
        line->action != "failed") {
        *problem = "\"action\" is none of moved, removed, failed";
        return false;
    }
    return true;
}

void AppendFindingJson(std::string* out, const std::string& host, const std::string& source,
                       uint64_t lineNumber, const SweepLine& line)
{
    out->push_back('{');
    AppendJsonStringMember(out, "host", host);
    AppendJsonStringMember(out, "source", source);
    AppendJsonNumberMember(out, "line", lineNumber);
    AppendJsonStringMember(out, "path", line.path);
    AppendJsonNumberMember(out, "size", line.size);
    AppendJsonKey(out, "variants");
    out->push_back('[');
    for (size_t index = 0; index < line.variants.size(); ++index) {
        if (index > 0) {
            out->push_back(',');
        }
        AppendJsonString(out, line.variants[index]);
    }
    out->push_back(']');
    AppendJsonStringMember(out, "action", line.action.empty() ? std::string("none") : line.action);
    AppendJsonStringMember(out, "quarantine", line.quarantine);
    AppendJsonStringMember(out, "error", line.error);
    out->append("}\n");
}
