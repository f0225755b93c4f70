#include "sweep/quarantine_record.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kTemporaryPrefix[] = ".purgekit-";
constexpr char kTemporarySuffix[] = ".tmp";

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

}  // namespace

std::string QuarantineName(std::time_t now, uint32_t processId, uint32_t counter)
{
    std::tm parts = UtcTime(now);
    char name[80];
    std::snprintf(name, sizeof(name), "%04d%02d%02dT%02d%02d%02dZ-%u-%06u.vir", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<unsigned>(processId), static_cast<unsigned>(counter));
    return name;
}

std::string TemporaryName(uint32_t processId, uint32_t counter)
{
    return std::string(kTemporaryPrefix) + std::to_string(processId) + "-" +
           std::to_string(counter) + kTemporarySuffix;
}

bool ParseTemporaryName(const std::string& name, uint32_t* processId)
{
    const size_t prefix = sizeof(kTemporaryPrefix) - 1;
    const size_t suffix = sizeof(kTemporarySuffix) - 1;
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kTemporaryPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0) {
        return false;
    }
    uint64_t value = 0;
    size_t at = prefix;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9' && value <= 0xFFFFFFFFull; ++at) {
        value = value * 10 + static_cast<uint64_t>(name[at] - '0');
    }
    if (at == prefix || at >= name.size() || name[at] != '-' || value > 0xFFFFFFFFull) {
        return false;
    }
    *processId = static_cast<uint32_t>(value);
    return true;
}

std::string ManifestLine(const FileOutcome& outcome, std::time_t now, const std::string& name)
{
    std::string line;
    for (char c : outcome.path) {
        switch (c) {
        case '\t': line += "%09"; break;
        case '\n': line += "%0A"; break;
        case '\r': line += "%0D"; break;
        case '%': line += "%25"; break;
        default: line.push_back(c);
        }
    }
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
    line += "\t" + name + "\n";
    return line;
}
