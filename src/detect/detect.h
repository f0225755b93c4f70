// Infection detection: whether an executable file is a PE file carrying every byte pattern
// of a signature set at its fixed absolute offset within the first 64 KiB.
// Portable apart from the two attribute calls (GetFileAttributesA, SetFileAttributesA).
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t kMaxPatternLength = 48;
constexpr uint32_t kMaxSignatureEntries = 3;

// One pattern: `length` bytes of `pattern` must stand at absolute file offset `offset`.
// The storage bytes beyond `length` are zero and never compared.
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
// A header test that found nothing against the file: the scan goes on. Not a scan's result.
constexpr ScanResult kScanHeadersPassed = 2;

// Status of ReadFileAt.
constexpr int32_t kReadOk = 0;
constexpr int32_t kReadShort = -1;
constexpr int32_t kReadInvalidArguments = -2;

// The three reads of one scan and the smallest file it looks at.
constexpr uint32_t kDosHeaderReadSize = 256;
constexpr uint32_t kPeHeaderReadSize = 4096;
constexpr uint32_t kWindowSize = 65536;
constexpr uint32_t kMaxReadSize = kWindowSize;
constexpr uint32_t kMinReadDelivered = 49;   // a read of 48 bytes or fewer has failed
constexpr uint32_t kMinScanFileSize = 60;

// Whether the file at `path` is a PE file that carries every one of the first `count`
// entries at its offset within the first 65,536 bytes. Reads at most three times
// (256, 4,096 and up to 65,536 bytes), never writes, and puts back the attributes it cleared.
// RETURNS: 1 every entry matched; 0 an entry did not match or lies past the end of the
//   file, past the first 65,536 bytes or past the bytes the window read delivered;
//   -1 the file cannot be opened; -2 no or empty path, no entries, count outside 1..3,
//   or a length above 48 (nothing touched); -25 a file below 60 bytes or an entry point
//   beyond the file's size minus 4; -26 no "MZ", relocation-table offset below 0x40, or no
//   PE signature; -27 a read delivered 48 bytes or fewer, e_lfanew was not delivered or
//   is 0x80000000 or more, or a read buffer could not be obtained.
ScanResult ScanFileForSignatures(const char* path, const SignatureEntry* entries, uint32_t count);

// The variants' sets, built as values by the memory passes (two entries each) and by the sweep.
SignatureSet SignatureSetA();
SignatureSet SignatureSetC();
SignatureSet SignatureSetE();

// ---- One read of a file for several sets (the sweep) ----------------------------------------
// The bytes the header tests and every given set look at, read once through the caller's
// positioned read, then tested set by set with the very functions of the scan above.

// Reads up to `count` bytes at `offset` into `into`; *delivered gets how many arrived (fewer
// at the file's end). RETURNS 0, or the platform's error number when the read failed.
using ReadAtFunction = int32_t (*)(void* source, uint32_t offset, uint8_t* into, uint32_t count,
                                   uint32_t* delivered);

// The caller's buffer: the window (at most 65,536 bytes from offset 0) and room for a PE
// header that lies beyond it.
constexpr uint32_t kFileBytesBufferSize = kWindowSize + kPeHeaderReadSize;

// What was read of one file.
struct FileBytes {
    uint32_t fileSize;        // the size as the scan measures it (0xFFFFFFFF for 4 GiB and more)
    ScanResult headers;       // kScanHeadersPassed, the header tests' result, or 0 when no
                              // set can lie within the file so nothing was read
    const uint8_t* start;     // bytes from offset 0
    uint32_t startHave;       // how many of them arrived
    uint32_t reads;           // reads made
};

// The furthest byte (exclusive) that any of the `setCount` sets could match within a file of
// `fileSize` bytes; *anyPossible is false when no set can match there at all.
uint32_t ReachOfSets(const SignatureSet* sets, uint32_t setCount, uint32_t fileSize,
                     bool* anyPossible);

// Reads what the header tests and the sets need from a file of `fileSize` bytes: nothing
// when the file is below 60 bytes or no set fits in it; one read of at most 4,096 bytes at
// offset 0 for a file that fails the header tests; then the rest of the window up to the
// furthest pattern end of the sets that fit, and never more than that or the PE header's
// section table. A file that shrank meanwhile gives what arrived.
// RETURNS 0, or the error number of the read that failed.
int32_t ReadBytesForSets(ReadAtFunction read, void* source, uint64_t fileSize,
                         const SignatureSet* sets, uint32_t setCount, uint8_t* buffer,
                         FileBytes* bytes);

// One set against what was read: 1 exactly when ScanFileForSignatures would give 1 for the
// same unchanging file; -2 for an invalid set; otherwise 0 or the header tests' result.
ScanResult MatchSetInBytes(const FileBytes& bytes, const SignatureSet& set);
