// The executable signature scan: attributes cleared for the read, the file size, the DOS
// header, the PE header and entry point, then the pattern window, in three reads.
#include "detect/compare_entries.h"
#include "detect/detect.h"
#include "detect/header_checks.h"
#include "detect/read_file_at.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

bool ArgumentsValid(const char* path, const SignatureEntry* entries, uint32_t count)
{
    return path != nullptr && path[0] != '\0' && EntriesValid(entries, count);
}

// A read buffer of exactly `size` bytes; nullptr when it cannot be obtained.
uint8_t* ObtainBuffer(uint32_t size)
{
    return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
}

// ReadFileAt into a buffer of `size` bytes whose bytes the read did not deliver are zeroed
// afterwards (the same content as a zero-filled buffer, without clearing what the read
// overwrites). Only the `*delivered` bytes are ever parsed or compared.
int32_t ReadZeroFilled(FILE* file, uint32_t size, int32_t offset, uint8_t* buffer,
                       uint32_t* delivered)
{
    int32_t status = ReadFileAt(file, size, offset, buffer, delivered);
    std::memset(buffer + *delivered, 0, size - *delivered);
    return status;
}

// The position of the file's end as an unsigned 32-bit size. An end that cannot be reached
// reads as 0 (too short to scan); a position that cannot be told or does not fit reads as
// the largest size.
uint32_t MeasureFileSize(FILE* file)
{
    if (fseek(file, 0, SEEK_END) != 0) {
        return 0;
    }
    long position = ftell(file);
    if (position < 0 || static_cast<unsigned long>(position) > 0xFFFFFFFFul) {
        return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(position);
}

// The DOS header, read as 256 bytes at offset 0.
ScanResult CheckDosHeader(FILE* file, uint32_t* peOffset)
{
    uint8_t* header = ObtainBuffer(kDosHeaderReadSize);
    if (header == nullptr) {
        return kScanShortRead;
    }
    ScanResult result = kScanShortRead;
    uint32_t delivered = 0;
    if (ReadZeroFilled(file, kDosHeaderReadSize, 0, header, &delivered) == kReadOk) {
        result = ParseDosHeader(header, delivered, peOffset);
    }
    std::free(header);
    return result;
}

// The PE header and the entry point, read as 4,096 bytes at e_lfanew.
ScanResult CheckPeHeader(FILE* file, uint32_t peOffset, uint32_t fileSize)
{
    uint8_t* header = ObtainBuffer(kPeHeaderReadSize);
    if (header == nullptr) {
        return kScanShortRead;
    }
    ScanResult result = kScanShortRead;
    uint32_t delivered = 0;
    if (ReadZeroFilled(file, kPeHeaderReadSize, static_cast<int32_t>(peOffset), header,
                       &delivered) == kReadOk) {
        result = ParsePeHeader(header, delivered, fileSize);
    }
    std::free(header);
    return result;
}

// The window, the first 65,536 bytes or the whole smaller file, and its comparisons.
ScanResult CompareWindow(FILE* file, uint32_t fileSize, const SignatureEntry* entries,
                         uint32_t count)
{
    uint32_t windowSize = fileSize < kWindowSize ? fileSize : kWindowSize;
    uint8_t* window = ObtainBuffer(windowSize);
    if (window == nullptr) {
        return kScanShortRead;
    }
    ScanResult result = kScanShortRead;
    uint32_t delivered = 0;
    if (ReadZeroFilled(file, windowSize, 0, window, &delivered) == kReadOk) {
        result = CompareEntries(window, delivered, fileSize, entries, count);
    }
    std::free(window);
    return result;
}

// Size, headers and window, on the open file.
ScanResult ScanOpenFile(FILE* file, const SignatureEntry* entries, uint32_t count)
{
    uint32_t fileSize = MeasureFileSize(file);
    if (fileSize < kMinScanFileSize) {
        return kScanSkipped;
    }
    uint32_t peOffset = 0;
    ScanResult result = CheckDosHeader(file, &peOffset);
    if (result == kScanHeadersPassed) {
        result = CheckPeHeader(file, peOffset, fileSize);
    }
    if (result == kScanHeadersPassed) {
        result = CompareWindow(file, fileSize, entries, count);
    }
    return result;
}

// The attributes back as they were, when they could be read at the start.
void RestoreAttributes(const char* path, DWORD kept)
{
    if (kept == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (GetFileAttributesA(path) != kept) {
        SetFileAttributesA(path, kept);
    }
}

}  // namespace

ScanResult ScanFileForSignatures(const char* path, const SignatureEntry* entries, uint32_t count)
{
    if (!ArgumentsValid(path, entries, count)) {
        return kScanInvalidArguments;
    }
    DWORD kept = GetFileAttributesA(path);
    if ((kept & FILE_ATTRIBUTE_NORMAL) == 0) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    }
    FILE* file = fopen(path, "rb");
    ScanResult result = kScanCannotOpen;
    if (file != nullptr) {
        // The three reads go straight to the caller's buffers: no stream buffer to fill.
        setvbuf(file, nullptr, _IONBF, 0);
        result = ScanOpenFile(file, entries, count);
        fclose(file);
    }
    RestoreAttributes(path, kept);
    return result;
}
