// The parts of a quarantine move that do not depend on the platform: the new names and the
// manifest line.
#pragma once

#include "sweep/sweep.h"

#include <ctime>

// "YYYYMMDDTHHMMSSZ-<pid>-<counter>.vir"
std::string QuarantineName(std::time_t now, uint32_t processId, uint32_t counter);
// ".purgekit-<pid>-<counter>.tmp": a copy being made; a later run removes it once that
// process is gone. RETURNS false when `name` is no such name; else *processId.
std::string TemporaryName(uint32_t processId, uint32_t counter);
bool ParseTemporaryName(const std::string& name, uint32_t* processId);
// One line of quarantine.tsv: path (tab, newline, CR and percent written as %09 %0A %0D %25),
// size, variants (comma separated), ISO-8601 UTC time, new name.
std::string ManifestLine(const FileOutcome& outcome, std::time_t now, const std::string& name);
