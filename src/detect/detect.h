// Infection detection: whether an executable file is a PE file carrying every byte pattern
// of a signature set at its fixed absolute offset within the first 64 KiB.
// Portable apart from the two attribute calls (GetFileAttributesA, SetFileAttributesA).
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t kMaxPatternLength = 48;
constexpr uint32_t kMaxSignatureEntries = 3;

// One pattern: `length` bytes of `pattern` must stand at absolute file offset `offset`.
struct SignatureEntry {
    uint8_t pattern[kMaxPatternLength];
    uint32_t length;
    uint32_t offset;
};

// The identification of one variant: 1 to 3 entries, compared in order.
struct SignatureSet {
    SignatureEntry entries[kMaxSignatureEntries];
    uint32_t count;
};

using ScanResult = int32_t;
constexpr ScanResult kScanFound = 1;
constexpr ScanResult kScanNotFound = 0;
constexpr ScanResult kScanCannotOpen = -1;
constexpr ScanResult kScanInvalidArguments = -2;
constexpr ScanResult kScanSkipped = -25;
constexpr ScanResult kScanNotPe = -26;
constexpr ScanResult kScanShortRead = -27;

// Status of ReadFileAt.
constexpr int32_t kReadOk = 0;
constexpr int32_t kReadShort = -1;
constexpr int32_t kReadInvalidArguments = -2;

ScanResult ScanFileForSignatures(const char* path, const SignatureEntry* entries, uint32_t count);

// The variants' sets, built as values by the memory passes.
SignatureSet SignatureSetA();
SignatureSet SignatureSetC();
SignatureSet SignatureSetE();
