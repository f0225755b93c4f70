// Inoculation: empty folders bearing the worm's and the virus's file names in the system
// folder, so those files cannot be created there again.
#pragma once

#include <cstdint>

constexpr int32_t kInoculated = 0;          // at least one folder created by this call
constexpr int32_t kNothingCreated = -1;
constexpr int32_t kInoculateNoVersion = -3; // only the first two folders were attempted

int32_t InoculateSystem();
