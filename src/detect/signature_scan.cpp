// The executable signature scan: attributes cleared for the read, the file size, the DOS
// header, the PE header and entry point, then the pattern window, in three reads.
#include "detect/byte_reader.h"
#include "detect/detect.h"
#include "detect/read_file_at.h"
#include "detect/rva_to_file_offset.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

// A step of the scan that found nothing against the file; not a ScanResult.
constexpr ScanResult kStepPassed = 2;

constexpr uint32_t kRelocationTableField = 24;   // DOS header: e_lfarlc
constexpr uint32_t kPeOffsetField = 60;          // DOS header: e_lfanew
constexpr uint16_t kMinRelocationTableOffset = 0x40;
constexpr uint32_t kNumberOfSectionsField = 6;   // PE header
constexpr uint32_t kSizeOfOptionalHeaderField = 20;
constexpr uint32_t kAddressOfEntryPointField = 40;
constexpr uint32_t kSectionTableBase = 24;       // PE signature + file header
constexpr uint32_t kEntryPointSlack = 4;
constexpr uint8_t kPeSignature[4] = {'P', 'E', 0, 0};

bool ArgumentsValid(const char* path, const SignatureEntry* entries, uint32_t count)
{
    if (path == nullptr || path[0] == '\0' || entries == nullptr || count < 1 ||
        count > kMaxSignatureEntries) {
        return false;
    }
    for (uint32_t index = 0; index < count; ++index) {
        if (entries[index].length > kMaxPatternLength) {
            return false;
        }
    }
    return true;
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

// "MZ", the relocation-table offset and e_lfanew, from the `have` bytes that arrived.
// RETURNS: kStepPassed with *peOffset; -26 not "MZ" or offset below 0x40; -27 e_lfanew
//   did not arrive or is 0x80000000 or more (it cannot be positioned to).
ScanResult ParseDosHeader(const uint8_t* header, uint32_t have, uint32_t* peOffset)
{
    uint16_t relocationTable = 0;
    if (have < 2 || header[0] != 'M' || header[1] != 'Z' ||
        !ReadU16(header, have, kRelocationTableField, &relocationTable) ||
        relocationTable < kMinRelocationTableOffset) {
        return kScanNotPe;
    }
    uint32_t offset = 0;
    if (!ReadU32(header, have, kPeOffsetField, &offset) || offset >= 0x80000000u) {
        return kScanShortRead;
    }
    *peOffset = offset;
    return kStepPassed;
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

// The PE signature and the entry point's file offset, from the `have` bytes that arrived.
// Section headers that do not lie wholly within those bytes are treated as absent.
// RETURNS: kStepPassed; -26 no PE signature; -25 the entry point maps beyond size - 4;
//   -27 a field of the file header did not arrive.
ScanResult ParsePeHeader(const uint8_t* header, uint32_t have, uint32_t fileSize)
{
    if (have < sizeof(kPeSignature) || std::memcmp(header, kPeSignature, sizeof(kPeSignature)) != 0) {
        return kScanNotPe;
    }
    uint16_t numberOfSections = 0;
    uint16_t sizeOfOptionalHeader = 0;
    uint32_t entryPoint = 0;
    if (!ReadU16(header, have, kNumberOfSectionsField, &numberOfSections) ||
        !ReadU16(header, have, kSizeOfOptionalHeaderField, &sizeOfOptionalHeader) ||
        !ReadU32(header, have, kAddressOfEntryPointField, &entryPoint)) {
        return kScanShortRead;
    }
    uint32_t tableOffset = kSectionTableBase + sizeOfOptionalHeader;
    uint16_t sectionsPresent = 0;
    const uint8_t* table = header;
    if (tableOffset <= have) {
        uint32_t fit = (have - tableOffset) / kSectionHeaderSize;
        sectionsPresent = static_cast<uint16_t>(fit < numberOfSections ? fit : numberOfSections);
        table = header + tableOffset;
    }
    uint32_t entryOffset = RvaToFileOffset(entryPoint, sectionsPresent, table);
    if (entryOffset > fileSize - kEntryPointSlack) {
        return kScanSkipped;
    }
    return kStepPassed;
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

// Each entry in order against the `have` bytes of the window that arrived.
// RETURNS: 1 all matched; 0 at the first entry out of bounds or unequal.
ScanResult CompareEntries(const uint8_t* window, uint32_t have, uint32_t fileSize,
                          const SignatureEntry* entries, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index) {
        const SignatureEntry& entry = entries[index];
        if (entry.offset > fileSize - entry.length || entry.offset > kWindowSize - entry.length ||
            !FitsIn(have, entry.offset, entry.length)) {
            return kScanNotFound;
        }
        if (std::memcmp(window + entry.offset, entry.pattern, entry.length) != 0) {
            return kScanNotFound;
        }
    }
    return kScanFound;
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
    if (result == kStepPassed) {
        result = CheckPeHeader(file, peOffset, fileSize);
    }
    if (result == kStepPassed) {
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
