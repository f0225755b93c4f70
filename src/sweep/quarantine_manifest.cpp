// This host's manifest and the records of moves. A move writes its line as a record before
// the file takes its quarantine name, appends the line once the file is there, and deletes
// the record last: after a kill at any moment each quarantined file has its line or a record
// from which the next run writes it, and every line names a file that is there.
#include "sweep/quarantine_files.h"

#include <algorithm>

namespace {

constexpr uint32_t kMaxNameTries = 1000;
constexpr uint32_t kChunk = 65536;
constexpr uint64_t kMaxRecordSize = 1u << 20;

// Cuts the manifest back to its last whole line (a crash may have cut the last one short).
// RETURNS 0 or the error.
int32_t CutPartialLine(QuarantineFile manifest, uint64_t* size)
{
    uint64_t end = *size;
    char chunk[4096];
    while (end > 0) {
        uint64_t from = end > sizeof(chunk) ? end - sizeof(chunk) : 0;
        uint32_t got = 0;
        uint32_t want = static_cast<uint32_t>(end - from);
        int32_t error = ReadQuarantineFile(manifest, from, chunk, want, &got);
        if (error != 0) {
            return error;
        }
        if (got != end - from) {
            return 0;   // shorter than it said: leave it as it is
        }
        for (uint32_t at = got; at > 0; --at) {
            if (chunk[at - 1] == '\n') {
                uint64_t whole = from + at;
                if (whole == *size) {
                    return 0;
                }
                *size = whole;
                return TruncateQuarantineFile(manifest, whole);
            }
        }
        end = from;
    }
    *size = 0;
    return TruncateQuarantineFile(manifest, 0);
}

// Whether the open manifest has a line that gives `name`. RETURNS 0 or the error.
int32_t ManifestHas(QuarantineFile manifest, uint64_t size, const std::string& name, bool* found)
{
    ManifestSearch search;
    search.name = name;
    std::vector<char> chunk(kChunk);
    for (uint64_t at = 0; at < size && !search.found;) {
        uint32_t got = 0;
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kChunk, size - at));
        int32_t error = ReadQuarantineFile(manifest, at, chunk.data(), want, &got);
        if (error != 0) {
            return error;
        }
        if (got == 0) {
            break;
        }
        SearchManifestChunk(&search, chunk.data(), got);
        at += got;
    }
    *found = search.found;
    return 0;
}

// Appends `line` unless `name` is given and the manifest already has its line.
int32_t AppendUnlessPresent(SweepContext* context, const std::string& line, const std::string& name)
{
    std::lock_guard<std::mutex> hold(context->manifestLock);
    QuarantineFile manifest = kNoQuarantineFile;
    int32_t error = OpenInQuarantine(context, context->manifestName, QuarantineOpen::kAppend,
                                     &manifest);
    if (error != 0) {
        return error;
    }
    uint64_t size = 0;
    error = QuarantineFileSize(manifest, &size);
    if (error == 0) {
        error = CutPartialLine(manifest, &size);
    }
    bool present = false;
    if (error == 0 && !name.empty()) {
        error = ManifestHas(manifest, size, name, &present);
    }
    if (error == 0 && !present) {
        error = WriteQuarantineFile(manifest, line.data(), line.size());
        if (error == 0) {
            error = FlushQuarantineFile(manifest);
        }
        if (error != 0) {
            TruncateQuarantineFile(manifest, size);   // no part of the line stays
        }
    }
    CloseQuarantineFile(manifest);
    return error;
}

// A record left by a run that is gone.
void FinishRecord(SweepContext* context, const std::string& recordName)
{
    QuarantineFile file = kNoQuarantineFile;
    if (OpenInQuarantine(context, recordName, QuarantineOpen::kRead, &file) != 0) {
        return;
    }
    uint64_t size = 0;
    std::string record;
    if (QuarantineFileSize(file, &size) == 0 && size <= kMaxRecordSize) {
        record.resize(static_cast<size_t>(size));
        uint32_t got = 0;
        if (size == 0 ||
            ReadQuarantineFile(file, 0, &record[0], static_cast<uint32_t>(size), &got) != 0) {
            got = 0;
        }
        record.resize(got);
    }
    CloseQuarantineFile(file);
    std::string name;
    if (!RecordNamesFile(record, &name)) {
        DeleteInQuarantine(context, recordName);   // cut short: its file never took its name
        return;
    }
    if (RegularFileInQuarantine(context, name) && AppendUnlessPresent(context, record, name) != 0) {
        return;   // kept for a later run
    }
    DeleteInQuarantine(context, recordName);
}

}  // namespace

std::string NextWorkName(SweepContext* context, const char* suffix)
{
    return WorkName(context->self, context->quarantineCounter.fetch_add(1) + 1, suffix);
}

int32_t AppendManifest(SweepContext* context, const std::string& line)
{
    return AppendUnlessPresent(context, line, std::string());
}

int32_t WriteMoveRecord(SweepContext* context, const std::string& line, std::string* recordName)
{
    QuarantineFile file = kNoQuarantineFile;
    int32_t error = 0;
    for (uint32_t tries = 0; tries < kMaxNameTries; ++tries) {
        *recordName = NextWorkName(context, kRecordSuffix);
        error = OpenInQuarantine(context, *recordName, QuarantineOpen::kCreateNew, &file);
        if (error != kQuarantineNameTaken) {
            break;
        }
    }
    if (error != 0) {
        return error;
    }
    error = WriteQuarantineFile(file, line.data(), line.size());
    if (error == 0) {
        error = FlushQuarantineFile(file);
    }
    CloseQuarantineFile(file);
    if (error == 0) {
        error = FlushQuarantineFolder(context);
    }
    if (error != 0) {
        DeleteInQuarantine(context, *recordName);
    }
    return error;
}

int32_t MoveReachedFile(SweepContext* context, const FileOutcome& outcome, ReachedFile* file,
                        std::time_t now, const std::string& final)
{
    const std::string line = ManifestLine(outcome, now, final);
    std::string record;
    int32_t error = WriteMoveRecord(context, line, &record);
    if (error != 0) {
        return error;
    }
    error = outcome.identity.device == context->quarantineDevice
                ? RenameReachedFile(context, file, final)
                : kQuarantineOtherDevice;
    const bool copied = error == kQuarantineOtherDevice;
    if (copied) {
        error = CopyReachedFile(context, file, final);
    }
    if (error == 0) {
        error = FlushQuarantineFolder(context);
        if (error == 0) {
            error = AppendManifest(context, line);
        }
        if (error != 0) {
            // Not recorded, so not kept: the copy deleted, a renamed file put back.
            if (copied ? DeleteInQuarantine(context, final) != 0
                       : PutReachedFileBack(context, file, final) != 0) {
                return error;   // the record stays, for the next run to write the line
            }
        }
    }
    DeleteInQuarantine(context, record);
    return error != 0 ? error : FinishReachedFile(context, file, final, copied);
}

void FinishStaleWork(SweepContext* context, const std::vector<std::string>& names, bool posix)
{
    for (const std::string& name : names) {
        WorkOwner maker;
        if (ParseWorkName(name, kCopySuffix, posix, &maker)) {
            if (WorkOwnerGone(context->self, maker)) {
                DeleteInQuarantine(context, name);
            }
        } else if (ParseWorkName(name, kRecordSuffix, posix, &maker)) {
            if (WorkOwnerGone(context->self, maker)) {
                FinishRecord(context, name);
            }
        }
    }
}
