// KERNEL32 functions newer than Windows 2000 that the C++ runtime imports, bound at run time
// by purgekit-scan.exe itself (late_imports_win32.cpp).
#pragma once

#include <cstdint>

// The 64-bit millisecond count that follows `last` (0: none yet) when the system's 32-bit
// count reads `now`: the count's wraps every 49.7 days are carried into the high part. A
// reading behind `last` (another thread handed out a later one meanwhile) gives `last`, so
// the count never goes back. Exact while it is asked at least once in 24 days.
uint64_t NextTickCount(uint64_t last, uint32_t now);
