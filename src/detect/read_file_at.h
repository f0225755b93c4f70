// One positioned read of the signature scan.
#pragma once

#include "detect/detect.h"

// Reads up to `count` bytes (at most 65,536) from `offset` into `buffer`, byte by byte.
// `*delivered`, when given, receives the number of bytes that arrived (0 on -2).
// A negative offset cannot be positioned to: nothing is read from wherever the file stood.
// RETURNS: 0 more than 48 bytes arrived, whatever was asked for; -1 48 bytes or fewer
//   arrived; -2 no file, no buffer, or a count above 65,536.
int32_t ReadFileAt(FILE* file, uint32_t count, int32_t offset, uint8_t* buffer,
                   uint32_t* delivered = nullptr);
