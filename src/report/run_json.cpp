// One runs.jsonl object per run of the cleaner: where it was read, what each stage found and
// did, its outcome and its failures.
#include "report/json_fields.h"
#include "report/report.h"

namespace {

const char* FolderName(uint32_t index)
{
    static const char* const kFolderNames[] = {"Krn132.exe", "Wqk.exe", "Wqk.dll", "WinSvc.exe"};
    return index < kDroppedCount ? kFolderNames[index] : "";
}

void AppendNames(std::string* out, const char* key, uint32_t bits,
                 const char* (*nameOf)(uint32_t index))
{
    AppendJsonKey(out, key);
    out->push_back('[');
    for (uint32_t index = 0; index < 32; ++index) {
        if ((bits & (1u << index)) != 0 && nameOf(index)[0] != '\0') {
            if (out->back() != '[') {
                out->push_back(',');
            }
            AppendJsonString(out, nameOf(index));
        }
    }
    out->push_back(']');
}

void AppendPasses(std::string* out, const RunRecord& run)
{
    AppendJsonKey(out, "processes");
    out->push_back('[');
    for (uint32_t index = 0; index < kPassCount; ++index) {
        const PassRecord& pass = run.passes[index];
        out->append(index == 0 ? "{" : ",{");
        AppendJsonStringMember(out, "variant", PassVariantName(index));
        AppendJsonNumberMember(out, "scanned", pass.scanned);
        AppendJsonNumberMember(out, "worms", pass.wormsFound);
        AppendJsonNumberMember(out, "viruses", pass.virusesFound);
        AppendJsonNumberMember(out, "terminated", pass.terminated);
        AppendJsonNumberMember(out, "files_deleted", pass.filesDeleted);
        AppendJsonNumberMember(out, "delete_errors", pass.deleteErrors);
        AppendJsonNumberMember(out, "not_ended", pass.notEnded);
        AppendJsonNumberMember(out, "scan_errors", pass.scanErrors);
        AppendJsonNumberMember(out, "service_keys_deleted", pass.serviceKeysDeleted);
        out->push_back('}');
    }
    out->push_back(']');
}

void AppendDropped(std::string* out, const RunRecord& run)
{
    AppendJsonKey(out, "dropped");
    out->push_back('{');
    for (uint32_t file = 0; file < kDroppedCount; ++file) {
        AppendJsonStringMember(out, DroppedFileName(file), DroppedText(run, file));
    }
    out->push_back('}');
}

const char* InoculationText(const RunRecord& run)
{
    if (!run.inoculationSeen) {
        return "none";
    }
    if (run.alreadyInoculated) {
        return "already inoculated";
    }
    return run.systemInoculated ? "inoculated" : "incomplete";
}

void AppendFailures(std::string* out, const RunRecord& run)
{
    AppendJsonKey(out, "failures");
    out->push_back('[');
    uint32_t kept = run.failuresKept < kMaxFailuresKept ? run.failuresKept : kMaxFailuresKept;
    for (uint32_t index = 0; index < kept; ++index) {
        out->append(index == 0 ? "{" : ",{");
        AppendJsonStringMember(out, "kind", FailureKindName(run.failures[index].kind));
        AppendJsonStringMember(out, "text", run.failures[index].text);
        out->push_back('}');
    }
    out->push_back(']');
    AppendJsonNumberMember(out, "failure_count", run.failureCount);
}

}  // namespace

void AppendRunJson(std::string* out, const std::string& host, const std::string& source,
                   uint64_t index, const RunRecord& run)
{
    out->push_back('{');
    AppendJsonStringMember(out, "host", host);
    AppendJsonStringMember(out, "source", source);
    AppendJsonNumberMember(out, "run", index);
    AppendJsonNumberMember(out, "line", run.startLine);
    AppendJsonStringMember(out, "version", run.version);
    AppendJsonStringMember(out, "platform", run.platform);
    std::string iso;
    uint32_t day = 0;
    AppendJsonKey(out, "date_time");
    if (ParseLogDate(run.dateTime, &iso, &day)) {
        AppendJsonString(out, iso);
    } else {
        out->append("null");
    }
    AppendJsonStringMember(out, "date_text", run.dateTime);
    AppendJsonStringMember(out, "outcome", OutcomeName(ClassifyRun(run)));
    AppendJsonBoolMember(out, "finished", run.finished);
    AppendJsonStringMember(out, "found", FoundText(run));
    AppendNames(out, "services_deleted", run.serviceKeysDeleted, ServiceName);
    AppendNames(out, "services_stopped", run.servicesStopped, ServiceName);
    AppendPasses(out, run);
    AppendNames(out, "values_removed", run.valuesRemoved, ValueName);
    AppendDropped(out, run);
    AppendJsonStringMember(out, "inoculation", InoculationText(run));
    AppendNames(out, "folders_created", run.foldersCreated, FolderName);
    AppendJsonBoolMember(out, "reboot_advised", run.rebootAdvised);
    AppendFailures(out, run);
    AppendJsonNumberMember(out, "unrecognised_lines", run.unrecognisedLines);
    AppendJsonNumberMember(out, "cut_lines", run.cutLines);
    out->append("}\n");
}
