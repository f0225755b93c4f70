#include "sweep/quarantine_record.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kWorkPrefix[] = ".purgekit-";
constexpr size_t kMaxHostLabel = 64;
constexpr size_t kMaxLine = 1u << 20;   // longer than any line a sweep writes

std::tm UtcTime(std::time_t now)
{
    std::tm parts = {};
#ifdef _WIN32
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    return parts;
}

bool IsDigits(const std::string& text, size_t from, size_t to)
{
    if (from >= to) {
        return false;
    }
    for (size_t at = from; at < to; ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, size_t from, size_t to, uint32_t* value)
{
    if (!IsDigits(text, from, to) || to - from > 10) {
        return false;
    }
    uint64_t number = 0;
    for (size_t at = from; at < to; ++at) {
        number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    }
    if (number > 0xFFFFFFFFull) {
        return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

void AppendEscapedPath(std::string* line, const std::string& path)
{
    for (char c : path) {
        switch (c) {
        case '\t': *line += "%09"; break;
        case '\n': *line += "%0A"; break;
        case '\r': *line += "%0D"; break;
        case '%': *line += "%25"; break;
        default: line->push_back(c);
        }
    }
}

// The fields of one line (without its newline).
std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

constexpr size_t kManifestFields = 6;
constexpr size_t kNameField = 4;

}  // namespace

std::string HostLabel(const std::string& name)
{
    std::string label;
    for (size_t at = 0; at < name.size() && label.size() < kMaxHostLabel; ++at) {
        char c = name[at];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        bool kept =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        label.push_back(kept ? c : '_');
    }
    return label.empty() ? "unknown" : label;
}

std::string QuarantineName(std::time_t now, const std::string& host, uint32_t processId,
                           uint32_t counter)
{
    std::tm parts = UtcTime(now);
    char stamp[40];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02dT%02d%02d%02dZ-", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    char numbers[32];
    std::snprintf(numbers, sizeof(numbers), "-%u-%06u.vir", static_cast<unsigned>(processId),
                  static_cast<unsigned>(counter));
    return stamp + host + numbers;
}

bool IsQuarantineName(const std::string& name)
{
    // YYYYMMDDTHHMMSSZ-<host>-<pid>-<counter>.vir, the host as HostLabel makes it
    const size_t stamp = 16;
    if (name.size() < stamp + 1 + 1 + 4 + 4 || !IsDigits(name, 0, 8) || name[8] != 'T' ||
        !IsDigits(name, 9, 15) || name[15] != 'Z' || name[stamp] != '-' ||
        name.compare(name.size() - 4, 4, ".vir") != 0) {
        return false;
    }
    for (size_t at = stamp + 1; at < name.size() - 4; ++at) {
        char c = name[at];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
              c == '-')) {
            return false;
        }
    }
    return true;
}

std::string ManifestName(const std::string& host)
{
    return "quarantine-" + host + ".tsv";
}

std::string WorkPrefix(const WorkOwner& owner)
{
    std::string name = kWorkPrefix + owner.host;
    if (!owner.boot.empty()) {
        name += "-" + owner.boot + "-" + owner.space;
    }
    return name + "-" + std::to_string(owner.processId) + "-";
}

std::string WorkName(const WorkOwner& owner, uint32_t counter, const char* suffix)
{
    return WorkPrefix(owner) + std::to_string(counter) + suffix;
}

bool ParseWorkName(const std::string& name, const char* suffix, bool posix, WorkOwner* owner)
{
    const size_t prefix = sizeof(kWorkPrefix) - 1;
    const size_t ending = std::strlen(suffix);
    if (name.size() <= prefix + ending || name.compare(0, prefix, kWorkPrefix) != 0 ||
        name.compare(name.size() - ending, ending, suffix) != 0) {
        return false;
    }
    // The fields after the host, read from the end: counter, pid [, pidns, boot].
    size_t end = name.size() - ending;
    std::string fields[4];
    const size_t count = posix ? 4 : 2;
    for (size_t index = 0; index < count; ++index) {
        size_t dash = name.rfind('-', end - 1);
        if (dash == std::string::npos || dash < prefix + 1 || dash + 1 >= end) {
            return false;
        }
        fields[index] = name.substr(dash + 1, end - dash - 1);
        end = dash;
    }
    uint32_t counter = 0;
    WorkOwner parsed;
    if (!ParseNumber(fields[0], 0, fields[0].size(), &counter) ||
        !ParseNumber(fields[1], 0, fields[1].size(), &parsed.processId)) {
        return false;
    }
    if (posix) {
        parsed.space = fields[2];
        parsed.boot = fields[3];
    }
    parsed.host = name.substr(prefix, end - prefix);
    *owner = parsed;
    return true;
}

std::string ManifestLine(const FileOutcome& outcome, std::time_t now, const std::string& name)
{
    std::string line;
    AppendEscapedPath(&line, outcome.path);
    line += "\t" + std::to_string(outcome.size) + "\t";
    bool first = true;
    for (uint32_t index = 0; index < kVariantCount; ++index) {
        if (outcome.variants & (1u << index)) {
            line += first ? "" : ",";
            line += VariantName(index);
            first = false;
        }
    }
    std::tm parts = UtcTime(now);
    char time[40];
    std::snprintf(time, sizeof(time), "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    line += "\t";
    line += time;
    line += "\t" + name + "\t";
    if (!outcome.ownPath.empty() && outcome.ownPath != outcome.path) {
        AppendEscapedPath(&line, outcome.ownPath);
    }
    return line + "\n";
}

bool RecordNamesFile(const std::string& record, std::string* name)
{
    if (record.empty() || record.size() > kMaxLine || record.back() != '\n' ||
        record.find('\n') != record.size() - 1) {
        return false;
    }
    std::vector<std::string> fields = SplitFields(record.substr(0, record.size() - 1));
    if (fields.size() != kManifestFields || !IsQuarantineName(fields[kNameField])) {
        return false;
    }
    *name = fields[kNameField];
    return true;
}

void SearchManifestChunk(ManifestSearch* search, const char* chunk, size_t size)
{
    for (size_t at = 0; at < size && !search->found; ++at) {
        if (chunk[at] != '\n') {
            if (search->pending.size() < kMaxLine) {
                search->pending.push_back(chunk[at]);
            }
            continue;
        }
        std::vector<std::string> fields = SplitFields(search->pending);
        search->found = fields.size() > kNameField && fields[kNameField] == search->name;
        search->pending.clear();
    }
}
