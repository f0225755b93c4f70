// The run's record: one JSON object a line in runs.jsonl. Every text in it (a computer name, a
// platform name read from a log, a path in a reason) goes through the JSON string writer,
// whatever its bytes.
#include "unattended/unattended.h"

#include "json/json.h"
#include "run/run.h"

#include <cstring>

namespace {

bool AppendField(char* out, size_t size, const char* name, const char* value)
{
    bool whole = AppendText(out, size, out[1] == '\0' ? "\"" : ",\"");
    whole = AppendText(out, size, name) && whole;
    whole = AppendText(out, size, "\":") && whole;
    if (value == nullptr) {
        value = "";
    }
    if (!AppendJsonStringTo(out, size, value, strlen(value))) {
        AppendText(out, size, "\"\"");   // the field stays, empty, and the line stays JSON
        return false;
    }
    return whole;
}

}  // namespace

bool ComposeRunLine(const RunRecordLine& line, char* out, size_t size)
{
    if (out == nullptr || size < 64) {
        return false;
    }
    CopyText(out, size, "{");
    bool whole = AppendField(out, size, "host", line.host);
    whole = AppendField(out, size, "started", line.started) && whole;
    whole = AppendField(out, size, "ended", line.ended) && whole;
    whole = AppendField(out, size, "platform", line.platform) && whole;
    whole = AppendField(out, size, "outcome", line.outcome) && whole;
    whole = AppendText(out, size, ",\"exit_code\":") && whole;
    whole = AppendDecimal(out, size, line.exitCode) && whole;
    whole = AppendField(out, size, "console", line.console) && whole;
    if (line.reason != nullptr && line.reason[0] != '\0') {
        whole = AppendField(out, size, "reason", line.reason) && whole;
    }
    whole = AppendText(out, size, "}\n") && whole;
    return whole;
}
