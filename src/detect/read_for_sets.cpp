// The sweep's read of one file for all sets: the bytes the header tests and the sets need,
// read once, in as few and as small reads as the file allows, then tested set by set with
// the scan's own header tests and comparisons.
#include "detect/compare_entries.h"
#include "detect/detect.h"
#include "detect/header_checks.h"

namespace {

// The first read: the DOS header and, in nearly every real file, the whole PE header.
constexpr uint32_t kFirstReadSize = 4096;

uint32_t Min(uint32_t a, uint32_t b)
{
    return a < b ? a : b;
}

// The bytes read so far: `have` bytes from offset 0 in the buffer's window part.
struct Reading {
    ReadAtFunction read;
    void* source;
    uint8_t* buffer;
    uint32_t have;
    bool ended;   // a read stopped short: the file ends (or shrank) there
    uint32_t reads;
};

// Reads on from `have` up to `end` (at most the window), unless the file already ended.
int32_t ExtendStart(Reading* reading, uint32_t end)
{
    end = Min(end, kWindowSize);
    if (reading->ended || end <= reading->have) {
        return 0;
    }
    uint32_t asked = end - reading->have;
    uint32_t delivered = 0;
    ++reading->reads;
    int32_t error = reading->read(reading->source, reading->have, reading->buffer + reading->have,
                                  asked, &delivered);
    if (error != 0) {
        return error;
    }
    delivered = Min(delivered, asked);
    reading->ended = delivered < asked;
    reading->have += delivered;
    return 0;
}

// `length` (at most 4,096) bytes at `offset`: from the window when they lie in it, else read
// into the room behind it. *view and *viewHave get where they are and how many arrived.
int32_t Fetch(Reading* reading, uint32_t offset, uint32_t length, const uint8_t** view,
              uint32_t* viewHave)
{
    if (static_cast<uint64_t>(offset) + length <= kWindowSize) {
        int32_t error = ExtendStart(reading, offset + length);
        *view = reading->buffer + offset;
        *viewHave = reading->have > offset ? Min(reading->have - offset, length) : 0;
        return error;
    }
    uint8_t* room = reading->buffer + kWindowSize;
    uint32_t delivered = 0;
    ++reading->reads;
    int32_t error = reading->read(reading->source, offset, room, length, &delivered);
    *view = room;
    *viewHave = error == 0 ? Min(delivered, length) : 0;
    return error;
}

// The PE header at e_lfanew as the scan's 4,096-byte read there would see it, reading only
// its fields and section table.
int32_t CheckPeHeaderOf(Reading* reading, uint32_t peOffset, uint32_t fileSize, ScanResult* result)
{
    uint32_t peHave = peOffset < fileSize ? Min(kPeHeaderReadSize, fileSize - peOffset) : 0;
    if (peHave < kMinReadDelivered) {
        *result = kScanShortRead;
        return 0;
    }
    const uint8_t* view = nullptr;
    uint32_t viewHave = 0;
    int32_t error = Fetch(reading, peOffset, kPeHeaderFieldsSize, &view, &viewHave);
    if (error != 0) {
        return error;
    }
    if (viewHave < kPeHeaderFieldsSize) {
        *result = kScanShortRead;   // the file shrank under the read
        return 0;
    }
    uint32_t extent = Min(peHave, PeHeaderExtent(view));
    if (extent > viewHave) {
        error = Fetch(reading, peOffset, extent, &view, &viewHave);
        if (error != 0) {
            return error;
        }
    }
    *result = ParsePeHeader(view, Min(viewHave, extent), fileSize);
    return 0;
}

}  // namespace

uint32_t ReachOfSets(const SignatureSet* sets, uint32_t setCount, uint32_t fileSize,
                     bool* anyPossible)
{
    const uint64_t limit = Min(fileSize, kWindowSize);
    uint32_t reach = 0;
    *anyPossible = false;
    for (uint32_t index = 0; index < setCount; ++index) {
        const SignatureSet& set = sets[index];
        if (!EntriesValid(set.entries, set.count)) {
            continue;
        }
        uint64_t end = 0;
        for (uint32_t entry = 0; entry < set.count; ++entry) {
            uint64_t entryEnd = static_cast<uint64_t>(set.entries[entry].offset) + set.entries[entry].length;
            end = entryEnd > end ? entryEnd : end;
        }
        if (end <= limit) {
            *anyPossible = true;
            reach = Min(reach > end ? reach : static_cast<uint32_t>(end), kWindowSize);
        }
    }
    return reach;
}

int32_t ReadBytesForSets(ReadAtFunction read, void* source, uint64_t fileSize,
                         const SignatureSet* sets, uint32_t setCount, uint8_t* buffer,
                         FileBytes* bytes)
{
    bytes->fileSize = fileSize > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(fileSize);
    bytes->headers = kScanNotFound;
    bytes->start = buffer;
    bytes->startHave = 0;
    bytes->reads = 0;
    if (bytes->fileSize < kMinScanFileSize) {
        bytes->headers = kScanSkipped;
        return 0;
    }
    bool anyPossible = false;
    uint32_t reach = ReachOfSets(sets, setCount, bytes->fileSize, &anyPossible);
    if (!anyPossible) {
        return 0;
    }
    Reading reading = {read, source, buffer, 0, false, 0};
    int32_t error = ExtendStart(&reading, Min(bytes->fileSize, kFirstReadSize));
    ScanResult result = kScanShortRead;
    uint32_t peOffset = 0;
    uint32_t dosHave = Min(reading.have, kDosHeaderReadSize);
    if (error == 0 && dosHave >= kMinReadDelivered) {
        result = ParseDosHeader(buffer, dosHave, &peOffset);
    }
    if (error == 0 && result == kScanHeadersPassed) {
        error = CheckPeHeaderOf(&reading, peOffset, bytes->fileSize, &result);
    }
    if (error == 0 && result == kScanHeadersPassed) {
        error = ExtendStart(&reading, Min(bytes->fileSize, reach));
    }
    bytes->headers = result;
    bytes->startHave = reading.have;
    bytes->reads = reading.reads;
    return error;
}

ScanResult MatchSetInBytes(const FileBytes& bytes, const SignatureSet& set)
{
    if (!EntriesValid(set.entries, set.count)) {
        return kScanInvalidArguments;
    }
    if (bytes.headers != kScanHeadersPassed) {
        return bytes.headers;
    }
    return CompareEntries(bytes.start, bytes.startHave, bytes.fileSize, set.entries, set.count);
}
