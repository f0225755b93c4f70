// The layout of one fuzz input for the signature scan: a 16-byte head that chooses the sets
// and the file's mode, then the file's bytes. An input shorter than the head is all file.
//
//   [0]      bit 0: also scan with the set described below; bit 1: make the file read-only
//   [1]      count of that set (any value: 0 and 4..255 are invalid arguments)
//   [2..4]   length of entries 1..3 (any value: above 48 is an invalid argument)
//   [5..13]  offset of entries 1..3, 24 bits each, little-endian
//   [14]     bit i: entry i's pattern differs from the file in its last byte
//   [15]     unused
// An entry's pattern is taken from the file at its offset (so sets can match), zero where
// the file ends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scan_fuzz {

constexpr size_t kHeadSize = 16;
constexpr uint8_t kUseOwnSet = 0x01;
constexpr uint8_t kReadOnly = 0x02;

struct Head {
    uint8_t flags;
    uint8_t count;
    uint8_t lengths[3];
    uint32_t offsets[3];
    uint8_t mismatch;
};

inline void EncodeHead(const Head& head, uint8_t out[kHeadSize])
{
    out[0] = head.flags;
    out[1] = head.count;
    for (int index = 0; index < 3; ++index) {
        out[2 + index] = head.lengths[index];
        out[5 + 3 * index] = static_cast<uint8_t>(head.offsets[index]);
        out[6 + 3 * index] = static_cast<uint8_t>(head.offsets[index] >> 8);
        out[7 + 3 * index] = static_cast<uint8_t>(head.offsets[index] >> 16);
    }
    out[14] = head.mismatch;
    out[15] = 0;
}

inline Head DecodeHead(const uint8_t in[kHeadSize])
{
    Head head = {};
    head.flags = in[0];
    head.count = in[1];
    for (int index = 0; index < 3; ++index) {
        head.lengths[index] = in[2 + index];
        head.offsets[index] = static_cast<uint32_t>(in[5 + 3 * index]) |
                              (static_cast<uint32_t>(in[6 + 3 * index]) << 8) |
                              (static_cast<uint32_t>(in[7 + 3 * index]) << 16);
    }
    head.mismatch = in[14];
    return head;
}

}  // namespace scan_fuzz
