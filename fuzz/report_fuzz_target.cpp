// libFuzzer target of what the outbreak report reads: the reader of the cleaner's messages and
// the JSON Lines reading, with the texts the report makes of what they read. Logs and JSON
// Lines come from machines that were infected: any bytes must be read without a fault, every
// kept text must end within its buffer, and everything the report writes of what it read
// (runs.jsonl and findings.jsonl objects, CSV and HTML text) must be well-formed.
//
// The input is read whole as a log, in chunks whose size its first byte chooses, and each of
// its lines as a line of JSON Lines.
#include "report/report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "report fuzz target: %s\n", what);
        std::abort();
    }
}

bool Terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

bool ValidUtf8(const std::string& text)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size();) {
        size_t length = ValidUtf8Length(bytes + at, text.size() - at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

// A JSON object the report wrote reads back as one, in valid UTF-8, ending its line.
void CheckWrittenObject(const std::string& line)
{
    Check(!line.empty() && line.back() == '\n', "an object without its line break");
    Check(line.find('\n') == line.size() - 1, "an object over two lines");
    Check(ValidUtf8(line), "an object that is not UTF-8");
    std::vector<JsonMember> members;
    size_t offset = 0;
    Check(ReadJsonObject(line.data(), line.size() - 1, &members, &offset) == kJsonOk,
          "an object the report wrote is not JSON");
}

// HTML text holds no markup but the byte markers and the five references, and is valid UTF-8.
void CheckHtml(const std::string& text)
{
    std::string html;
    AppendHtmlText(&html, text);
    Check(ValidUtf8(html), "HTML text that is not UTF-8");
    static const char kMarker[] = "<span class=\"byte\" title=\"a byte shown by its value\">\\x";
    static const char* const kReferences[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};
    const size_t markerLength = sizeof(kMarker) - 1;
    for (size_t at = 0; at < html.size();) {
        if (html.compare(at, markerLength, kMarker) == 0) {
            Check(html.compare(at + markerLength + 2, 7, "</span>") == 0,
                  "a byte marker not closed");
            at += markerLength + 2 + 7;
            continue;
        }
        if (html[at] == '&') {
            size_t length = 0;
            for (const char* reference : kReferences) {
                if (html.compare(at, strlen(reference), reference) == 0) {
                    length = strlen(reference);
                }
            }
            Check(length > 0, "a bare & in HTML text");
            at += length;
            continue;
        }
        Check(html[at] != '<' && html[at] != '>' && html[at] != '"' && html[at] != '\'',
              "markup in HTML text");
        ++at;
    }
}

void CheckCsv(const std::string& text)
{
    std::string csv;
    AppendCsvField(&csv, text);
    if (csv.size() != text.size()) {
        Check(csv.size() >= 2 && csv.front() == '"' && csv.back() == '"',
              "a CSV field quoted wrongly");
        std::string inner;
        for (size_t at = 1; at + 1 < csv.size(); ++at) {
            inner.push_back(csv[at]);
            if (csv[at] == '"') {
                Check(csv[at + 1] == '"', "a lone quote in a CSV field");
                ++at;
            }
        }
        Check(inner == text, "a CSV field that is not its text");
    }
}

void TakeRun(void* context, const RunRecord& run)
{
    ++*static_cast<uint64_t*>(context);
    Check(run.failuresKept <= kMaxFailuresKept && run.failuresKept <= run.failureCount,
          "more failures kept than there are room or failures");
    Check(Terminated(run.version, sizeof(run.version)) &&
              Terminated(run.dateTime, sizeof(run.dateTime)) &&
              Terminated(run.platform, sizeof(run.platform)),
          "a text of the run without its end");
    for (uint32_t index = 0; index < run.failuresKept && index < kMaxFailuresKept; ++index) {
        Check(Terminated(run.failures[index].text, sizeof(run.failures[index].text)),
              "a failure text without its end");
    }
    RunOutcome outcome = ClassifyRun(run);
    Check(static_cast<uint8_t>(outcome) < 4, "an outcome out of range");
    Check(run.finished || outcome == RunOutcome::kFailed,
          "a run without its end that did not fail");
    std::string json;
    AppendRunJson(&json, "PC", "PURGEKIT.LOG", 1, run);
    CheckWrittenObject(json);
    std::string found = FoundText(run);
    Check(found.size() <= kSummaryTextSize, "a found text over its bound");
    std::vector<std::string> failures;
    AppendFailureTexts(run, &failures);
    std::string joined = JoinBounded(failures, kSummaryTextSize);
    Check(joined.size() <= kSummaryTextSize, "a failure text over its bound");
    CheckHtml(found);
    CheckHtml(joined);
    CheckCsv(joined);
    std::string iso;
    uint32_t day = 0;
    if (ParseLogDate(run.dateTime, &iso, &day)) {
        Check(iso.size() == 19 && day >= 10101 && day <= 99991231, "a date out of its form");
    }
}

void ReadLine(const char* bytes, size_t size)
{
    std::vector<JsonMember> members;
    size_t offset = 0;
    int32_t status = ReadJsonObject(bytes, size, &members, &offset);
    Check(offset <= size, "an error offset past the line");
    if (status != kJsonOk) {
        Check(members.empty(), "members kept of a line that is not JSON");
        return;
    }
    // Every string read writes back as JSON that reads as the same bytes.
    std::string again = "{";
    for (const JsonMember& member : members) {
        again += again.size() > 1 ? "," : "";
        AppendJsonString(&again, member.name);
        again += ":";
        if (member.kind == JsonKind::kString) {
            AppendJsonString(&again, member.text);
        } else {
            again += "null";
        }
        CheckHtml(member.text);
        CheckCsv(member.text);
    }
    again += "}";
    std::vector<JsonMember> reread;
    Check(ReadJsonObject(again.data(), again.size(), &reread, &offset) == kJsonOk,
          "a string written back is not JSON");
    Check(reread.size() == members.size(), "members lost writing back");
    for (size_t index = 0; index < members.size(); ++index) {
        Check(reread[index].name == members[index].name, "a name changed writing back");
        Check(members[index].kind != JsonKind::kString || reread[index].text == members[index].text,
              "a string changed writing back");
    }
    std::string problem;
    SweepLine line;
    if (ReadSweepLine(members, &line, &problem)) {
        std::string json;
        AppendFindingJson(&json, "host", "sweep.jsonl", 1, line);
        CheckWrittenObject(json);
    }
    LauncherRecord record;
    if (ReadLauncherRecord(members, &record, &problem)) {
        std::string json;
        AppendLauncherJson(&json, "host", "runs.jsonl", 1, record);
        CheckWrittenObject(json);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t chunk = size > 0 ? 1 + data[0] % 97 : 1;
    static LogReader reader;
    uint64_t runs = 0;
    StartReading(&reader, TakeRun, &runs, size > 1 ? data[1] & 0x0F : 0);
    for (size_t at = 0; at < size; at += chunk) {
        ReadLogBytes(&reader, bytes + at, size - at < chunk ? size - at : chunk);
    }
    FinishReading(&reader);
    Check(reader.offset == size, "the reader lost count of the bytes");
    for (size_t start = 0; start <= size;) {
        const void* newline = std::memchr(bytes + start, '\n', size - start);
        size_t end = newline == nullptr
                         ? size
                         : static_cast<size_t>(static_cast<const char*>(newline) - bytes);
        ReadLine(bytes + start, end - start);
        start = end + 1;
    }
    return 0;
}
