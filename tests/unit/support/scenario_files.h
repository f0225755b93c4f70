// The acceptance scenarios' expected files, for the unit tests of the programs that read what
// the cleaner writes. The scenarios' folder comes from PURGEKIT_SCENARIOS (a Windows path to
// tests/acceptance/scenarios, set by CTest).
#pragma once

#include <string>

// The folder, or an empty string when PURGEKIT_SCENARIOS is not set.
std::string ScenariosFolder();
// A file's whole bytes, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// A scenario's expected file (a path below the folder) as the cleaner writes it: each
// "@@include NAME" line replaced by the shared text common/NAME.txt, every line break CR LF.
std::string ScenarioExpectedText(const std::string& relative);
