// The parts of a quarantine move that do not depend on the platform: the names of what the
// sweep keeps in the quarantine folder, the manifest line, and the checks a later run makes
// on what a killed run left there.
//
// One quarantine may be shared by many hosts (a share): every name carries the host, and
// each host appends to a manifest of its own, so that no two hosts ever write one file.
#pragma once

#include "sweep/sweep.h"

#include <ctime>

// Who made a work file (a copy being made, a record of a move): the host and, on POSIX, the
// system's boot and PID namespace, then the process. A later run deletes or finishes work
// files only when their process is certainly gone.
struct WorkOwner {
    std::string host;      // HostLabel
    std::string boot;      // POSIX: 8 hex digits of the boot id, "x" when unknown; Win32: empty
    std::string space;     // POSIX: the PID namespace's inode number, "x" when unknown
    uint32_t processId = 0;
};

// The host name made safe for a file name: ASCII letters (in lower case), digits, '.', '_'
// and '-' kept, every other byte '_', at most 64 bytes; "unknown" when there is none.
std::string HostLabel(const std::string& name);

// "YYYYMMDDTHHMMSSZ-<host>-<pid>-<counter>.vir" (UTC; the counter has six digits or more).
std::string QuarantineName(std::time_t now, const std::string& host, uint32_t processId,
                           uint32_t counter);
// Whether `name` is one a sweep gives a quarantined file: what a record may name.
bool IsQuarantineName(const std::string& name);
// "quarantine-<host>.tsv": this host's manifest.
std::string ManifestName(const std::string& host);

// Work files: ".purgekit-<host>[-<boot>-<pidns>]-<pid>-<counter><suffix>". Suffixes:
constexpr char kCopySuffix[] = ".tmp";     // a copy being made, in the quarantine
constexpr char kRecordSuffix[] = ".rec";   // a move's manifest line, until it is in the manifest
constexpr char kClaimSuffix[] = ".del";    // a found file taken from its name to be deleted
constexpr char kKeptSuffix[] = ".kept";    // not the file scanned, and its folder gone: kept
std::string WorkName(const WorkOwner& owner, uint32_t counter, const char* suffix);
// What every work name of `owner` begins with.
std::string WorkPrefix(const WorkOwner& owner);
// RETURNS false when `name` is no work file with that suffix; else *owner. `posix`: the name
// carries the boot and the PID namespace.
bool ParseWorkName(const std::string& name, const char* suffix, bool posix, WorkOwner* owner);

// One manifest line, tab separated: the path found, size, variants (comma separated),
// ISO-8601 UTC time, new name, and the file's own path when it differs from the path found
// (else empty). In both paths tab, newline, CR and percent are written %09 %0A %0D %25.
std::string ManifestLine(const FileOutcome& outcome, std::time_t now, const std::string& name);
// A record's text, checked: one whole manifest line. RETURNS false when it is not; else
// *name, the quarantine name it gives.
bool RecordNamesFile(const std::string& record, std::string* name);

// A manifest read in chunks, looking for a line that gives `name`.
struct ManifestSearch {
    std::string name;
    std::string pending;   // the line read in part
    bool found = false;
};
void SearchManifestChunk(ManifestSearch* search, const char* chunk, size_t size);
