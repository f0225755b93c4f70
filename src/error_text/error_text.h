// An error number in words, for the programs that print them (the sweep, the outbreak report):
// errno values on POSIX, GetLastError values on Win32, in the words of strerror either way, so
// that a report reads the same whichever system made it.
#pragma once

#include <cstdint>
#include <string>

std::string ErrorText(int32_t error);
