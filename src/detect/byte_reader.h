// Checked little-endian readers for fields of untrusted bytes: a field is read only when
// all of its bytes lie within the `have` bytes that are really there.
#pragma once

#include <cstdint>

// True when `size` bytes at `offset` lie within `have` bytes.
inline bool FitsIn(uint32_t have, uint32_t offset, uint32_t size)
{
    return size <= have && offset <= have - size;
}

// RETURNS false (and leaves *out alone) when the field does not lie within `have`.
inline bool ReadU16(const uint8_t* bytes, uint32_t have, uint32_t offset, uint16_t* out)
{
    if (!FitsIn(have, offset, 2)) {
        return false;
    }
    *out = static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    return true;
}

inline bool ReadU32(const uint8_t* bytes, uint32_t have, uint32_t offset, uint32_t* out)
{
    if (!FitsIn(have, offset, 4)) {
        return false;
    }
    *out = static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
    return true;
}
