// The header tests of the signature scan over bytes already read: "MZ", the relocation-table
// offset and e_lfanew from the DOS header; the PE signature and the entry point's place from
// the PE header. The scan of one file and the sweep's read for all sets share them.
#pragma once

#include "detect/detect.h"

// "MZ", the relocation-table offset and e_lfanew, from the `have` bytes read at offset 0.
// RETURNS: kScanHeadersPassed with *peOffset; -26 not "MZ" or offset below 0x40; -27 e_lfanew
//   did not arrive or is 0x80000000 or more (it cannot be positioned to).
ScanResult ParseDosHeader(const uint8_t* header, uint32_t have, uint32_t* peOffset);

// The PE signature and the entry point's file offset, from the `have` bytes read at e_lfanew.
// Section headers that do not lie wholly within those bytes are treated as absent.
// RETURNS: kScanHeadersPassed; -26 no PE signature; -25 the entry point maps beyond size - 4;
//   -27 a field of the file header did not arrive.
ScanResult ParsePeHeader(const uint8_t* header, uint32_t have, uint32_t fileSize);

// How many bytes from e_lfanew ParsePeHeader looks at, given the first
// kPeHeaderFieldsSize of them: 4 when the PE signature is wrong, else the end of the
// section table (at least kPeHeaderFieldsSize). Handing ParsePeHeader
// min(delivered, this) bytes gives the same answer as handing it all `delivered`.
constexpr uint32_t kPeHeaderFieldsSize = 44;   // up to AddressOfEntryPoint
uint32_t PeHeaderExtent(const uint8_t* fields);
