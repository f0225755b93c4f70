// What one line of the cleaner's log or console says, entered into the run being read.
// Lines are recognised by the cleaner's own texts; the stage headers tell which memory pass a
// scanning line belongs to, and a process identified by a pass stays open until its next
// line shows whether it was terminated.
#include "logread/run_lines.h"

#include "messages/messages.h"

#include <cstring>

namespace {

struct FixedLine {
    const char* message;
    uint32_t bit;
};

const FixedLine kServiceKeyLines[] = {
    {kMsgKernelSvcKeyDeleted, kServiceKernelSvc},
    {kMsgKrn132KeyDeleted, kServiceKrn132},
    {kMsgWinSvcKeyDeleted, kServiceWinSvc},
};
const FixedLine kServiceStoppedLines[] = {
    {kMsgKernelSvcStopped, kServiceKernelSvc},
    {kMsgKrn132Stopped, kServiceKrn132},
    {kMsgWinSvcStopped, kServiceWinSvc},
};
const FixedLine kValueFoundLines[] = {
    {kMsgRunKrn132Found, kValueRunKrn132},
    {kMsgRunWqkFound, kValueRunWqk},
    {kMsgAppInitFound, kValueAppInit},
    {kMsgRunWinSvcFound, kValueRunWinSvc},
};
const FixedLine kFolderCreatedLines[] = {
    {kMsgKrn132FolderCreated, 1u << 0},
    {kMsgWqkExeFolderCreated, 1u << 1},
    {kMsgWqkDllFolderCreated, 1u << 2},
    {kMsgWinSvcFolderCreated, 1u << 3},
};
const FixedLine kFolderExistingLines[] = {
    {kMsgKrn132FolderExists, 1u << 0},
    {kMsgWqkExeFolderExists, 1u << 1},
    {kMsgWqkDllFolderExists, 1u << 2},
    {kMsgWinSvcFolderExists, 1u << 3},
};
const char* const kMemoryHeaders[kPassCount] = {kMsgMemoryHeaderA, kMsgMemoryHeaderC,
                                                kMsgMemoryHeaderE};
const char* const kWormFoundMessages[] = {kMsgFoundWormA, kMsgFoundWormC, kMsgFoundWormE};
const char* const kVirusFoundMessages[] = {kMsgFoundVirusA, kMsgFoundVirusB};
const char* const kNotIdentifiedMessages[] = {kMsgNotFound, kMsgFileLocked, kMsgSkipped};

template <size_t N>
bool MatchFixed(TextSpan line, const FixedLine (&table)[N], uint32_t* bits)
{
    for (const FixedLine& fixed : table) {
        if (SpanEquals(line, LineOf(fixed.message))) {
            *bits |= fixed.bit;
            return true;
        }
    }
    return false;
}

bool IsLine(TextSpan line, const char* message)
{
    return SpanEquals(line, LineOf(message));
}

void AddFailure(RunRecord* run, FailureKind kind, TextSpan text)
{
    ++run->failureCount;
    if (run->failuresKept < kMaxFailuresKept) {
        FailureRecord* failure = &run->failures[run->failuresKept++];
        failure->kind = kind;
        CopySpan(text, failure->text, sizeof(failure->text));
    }
}

// A process identified by a pass and never reported terminated was left running.
void CloseProcess(LogReader* reader)
{
    if (reader->processOpen && !reader->processTerminated) {
        reader->run.passes[reader->pass].notEnded++;
        AddFailure(&reader->run, FailureKind::kProcessNotEnded,
                   TextSpan{reader->processText, strlen(reader->processText)});
    }
    reader->processOpen = false;
    reader->processTerminated = false;
}

// The worm's service entry was found (no "not found" line) but no deletion of its own key
// was reported.
void CloseServiceStage(RunRecord* run)
{
    if (run->serviceStageSeen && !run->servicesNotFound &&
        (run->serviceKeysDeleted & (kServiceKrn132 | kServiceWinSvc)) == 0) {
        const char* name = run->serviceKeysDeleted & kServiceKernelSvc ? "Krn132" : "Krn132 or WinSvc";
        AddFailure(run, FailureKind::kServiceKeyNotDeleted, TextSpan{name, strlen(name)});
    }
}

void EnterStage(LogReader* reader, ReaderStage stage)
{
    CloseProcess(reader);
    if (reader->stage == ReaderStage::kServices && stage != ReaderStage::kServices) {
        CloseServiceStage(&reader->run);
    }
    reader->stage = stage;
}

void BeginRun(LogReader* reader, uint64_t offset, uint64_t lineNumber)
{
    EndRun(reader);
    memset(&reader->run, 0, sizeof(reader->run));
    reader->inRun = true;
    reader->stage = ReaderStage::kNone;
    reader->pass = 0;
    reader->run.startOffset = offset;
    reader->run.startLine = lineNumber;
    reader->run.droppedBlocked = reader->foldersStanding;
}

bool TakeStageHeader(LogReader* reader, TextSpan line)
{
    RunRecord* run = &reader->run;
    if (IsLine(line, kMsgServiceHeader)) {
        EnterStage(reader, ReaderStage::kServices);
        run->serviceStageSeen = true;
        return true;
    }
    for (uint32_t pass = 0; pass < kPassCount; ++pass) {
        if (IsLine(line, kMemoryHeaders[pass])) {
            EnterStage(reader, ReaderStage::kMemory);
            reader->pass = pass;
            return true;
        }
    }
    if (IsLine(line, kMsgRegistryHeader)) {
        EnterStage(reader, ReaderStage::kRegistry);
        run->registryStageSeen = true;
        return true;
    }
    if (IsLine(line, kMsgDroppedHeader)) {
        EnterStage(reader, ReaderStage::kDropped);
        run->droppedStageSeen = true;
        return true;
    }
    if (IsLine(line, kMsgInoculationHeader)) {
        EnterStage(reader, ReaderStage::kInoculation);
        run->inoculationSeen = true;
        return true;
    }
    return false;
}

// Strips `message`'s text from the end of `line` when it ends with it.
bool StripTail(TextSpan* line, const char* message)
{
    TextSpan tail = TailOf(message);
    if (!SpanEndsWith(*line, tail)) {
        return false;
    }
    *line = TrimTrailingBlanks(DropTail(*line, tail.length));
    return true;
}

// " ---> unknown error " and what LogCount wrote after it ("-6 Files"), or nothing when the
// log could not be opened.
bool StripUnknownError(TextSpan* line)
{
    TextSpan rest = *line;
    if (StripTail(&rest, kMsgCountTail)) {
        size_t digits = 0;
        while (digits < rest.length && rest.bytes[rest.length - 1 - digits] >= '0' &&
               rest.bytes[rest.length - 1 - digits] <= '9') {
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        rest = DropTail(rest, digits);
        if (rest.length > 0 && rest.bytes[rest.length - 1] == '-') {
            rest = DropTail(rest, 1);
        }
    }
    if (!StripTail(&rest, kMsgUnknownError)) {
        return false;
    }
    *line = rest;
    return true;
}

// "\t Scanning <path>" with the pass's verdict and " (Terminated)" after it, as far as the
// run got.
void TakeScanningLine(LogReader* reader, TextSpan line)
{
    CloseProcess(reader);
    PassRecord* pass = &reader->run.passes[reader->pass];
    ++pass->scanned;
    bool terminated = StripTail(&line, kMsgTerminated);
    bool identified = false;
    for (const char* found : kWormFoundMessages) {
        if (!identified && StripTail(&line, found)) {
            ++pass->wormsFound;
            identified = true;
        }
    }
    for (const char* found : kVirusFoundMessages) {
        if (!identified && StripTail(&line, found)) {
            ++pass->virusesFound;
            identified = true;
        }
    }
    if (!identified) {
        bool examined = StripTail(&line, kMsgNotFound);
        if (!examined && (StripTail(&line, kMsgFileLocked) || StripTail(&line, kMsgSkipped) ||
                          StripUnknownError(&line))) {
            ++pass->scanErrors;
        }
        return;
    }
    reader->processOpen = true;
    reader->processTerminated = terminated;
    if (terminated) {
        ++pass->terminated;
    }
    CopySpan(DropHead(line, HeadOf(kMsgScanningHead).length), reader->processText,
             sizeof(reader->processText));
}

bool TakeMemoryLine(LogReader* reader, TextSpan line)
{
    PassRecord* pass = &reader->run.passes[reader->pass];
    if (SpanStartsWith(line, HeadOf(kMsgScanningHead))) {
        TakeScanningLine(reader, line);
        return true;
    }
    // Variant E's service key is reported between the finding and the termination, so
    // " (Terminated)" may end its line.
    TextSpan keyLine = line;
    bool terminated = StripTail(&keyLine, kMsgTerminated);
    if (SpanStartsWith(keyLine, HeadOf(kMsgServiceKeyForFileHead)) &&
        SpanEndsWith(keyLine, TailOf(kMsgServiceKeyForFileTail))) {
        ++pass->serviceKeysDeleted;
        if (terminated && reader->processOpen && !reader->processTerminated) {
            reader->processTerminated = true;
            ++pass->terminated;
        }
        return true;
    }
    TextSpan fileHead = HeadOf(kMsgFileDeletedHead);
    if (SpanStartsWith(line, fileHead) && !SpanStartsWith(line, HeadOf(kMsgDroppedFileHead)) &&
        SpanEndsWith(line, TailOf(kMsgFileDeletedTail))) {
        ++pass->filesDeleted;
        CloseProcess(reader);
        return true;
    }
    TextSpan errorHead = HeadOf(kMsgErrorDeletingHead);
    if (SpanStartsWith(line, errorHead)) {
        ++pass->deleteErrors;
        AddFailure(&reader->run, FailureKind::kFileNotDeleted, DropHead(line, errorHead.length));
        CloseProcess(reader);
        return true;
    }
    return false;
}

bool TakeDroppedLine(LogReader* reader, TextSpan line)
{
    TextSpan head = HeadOf(kMsgDroppedFileHead);
    if (!SpanStartsWith(line, head)) {
        return false;
    }
    static const char* const kOutcomes[] = {kMsgDroppedNotFound, kMsgDroppedDeleted,
                                            kMsgDroppedDeleteFailed};
    static const DroppedOutcome kValues[] = {DroppedOutcome::kNotFound, DroppedOutcome::kDeleted,
                                             DroppedOutcome::kDeleteFailed};
    TextSpan quote = TextSpan{kMsgDroppedFileTail, 1};   // the closing quotation mark
    for (size_t i = 0; i < 3; ++i) {
        TextSpan rest = line;
        if (!StripTail(&rest, kOutcomes[i]) || !SpanEndsWith(rest, quote)) {
            continue;
        }
        TextSpan path = DropTail(DropHead(rest, head.length), 1);
        size_t nameStart = path.length;
        while (nameStart > 0 && path.bytes[nameStart - 1] != '\\') {
            --nameStart;
        }
        TextSpan name = DropHead(path, nameStart);
        for (uint32_t file = 0; file < kDroppedCount; ++file) {
            if (!SpanEqualsIgnoringCase(name, kDroppedFileNames[file])) {
                continue;
            }
            RunRecord* run = &reader->run;
            run->dropped[file] = kValues[i];
            if (kValues[i] == DroppedOutcome::kDeleteFailed && (run->droppedBlocked & (1u << file)) == 0) {
                AddFailure(run, FailureKind::kDroppedNotDeleted, path);
            }
            return true;
        }
        return false;
    }
    return false;
}

bool TakeStageLine(LogReader* reader, TextSpan line)
{
    RunRecord* run = &reader->run;
    uint32_t bits = 0;
    switch (reader->stage) {
    case ReaderStage::kServices:
        if (IsLine(line, kMsgServicesNotFound)) {
            run->servicesNotFound = true;
            return true;
        }
        if (MatchFixed(line, kServiceKeyLines, &run->serviceKeysDeleted)) {
            return true;
        }
        return MatchFixed(line, kServiceStoppedLines, &run->servicesStopped);
    case ReaderStage::kMemory:
        return TakeMemoryLine(reader, line);
    case ReaderStage::kRegistry:
        for (const FixedLine& value : kValueFoundLines) {
            TextSpan found = LineOf(value.message);
            if (SpanStartsWith(line, found)) {
                run->valuesRemoved |= value.bit;
                return true;
            }
        }
        return IsLine(line, kMsgRunKrn132NotFound) || IsLine(line, kMsgRunWinSvcNotFound);
    case ReaderStage::kDropped:
        return TakeDroppedLine(reader, line);
    case ReaderStage::kInoculation:
        if (MatchFixed(line, kFolderCreatedLines, &bits)) {
            run->foldersCreated |= static_cast<uint8_t>(bits);
            return true;
        }
        if (MatchFixed(line, kFolderExistingLines, &bits)) {
            run->foldersExisting |= static_cast<uint8_t>(bits);
            return true;
        }
        if (IsLine(line, kMsgInoculated)) {
            run->systemInoculated = true;
            return true;
        }
        if (IsLine(line, kMsgAlreadyInoculated)) {
            run->alreadyInoculated = true;
            return true;
        }
        return false;
    case ReaderStage::kNone:
        return false;
    }
    return false;
}

// Lines that belong to the frame of a run and say nothing about it: blank lines, the log's
// rules, the banners' boxes and the intro prompt.
bool IsFrameLine(TextSpan line)
{
    static const char kRule[] = "========================";
    TextSpan rule = {kRule, sizeof(kRule) - 1};
    if (line.length == 0 || SpanEquals(line, rule) || IsLine(line, kMsgIntroPrompt)) {
        return true;
    }
    return line.length >= 2 && line.bytes[0] == ' ' && (line.bytes[1] == '+' || line.bytes[1] == '|');
}

}  // namespace

void EndRun(LogReader* reader)
{
    if (!reader->inRun) {
        return;
    }
    EnterStage(reader, ReaderStage::kNone);
    reader->inRun = false;
    reader->foldersStanding |= FoldersStandingAfter(reader->run);
    if (reader->sink != nullptr) {
        reader->sink(reader->context, reader->run);
    }
}

void TakeLine(LogReader* reader, TextSpan line)
{
    line = TrimTrailingBlanks(line);
    uint64_t lineNumber = reader->lineNumber;
    TextSpan start = HeadOf(kMsgStartHead);
    if (SpanStartsWith(line, start)) {
        BeginRun(reader, reader->lineOffset, lineNumber);
        reader->run.startLineSeen = true;
        CopySpan(DropHead(line, start.length), reader->run.version, sizeof(reader->run.version));
        return;
    }
    TextSpan platform = HeadOf(kMsgPlatformHead);
    if (SpanStartsWith(line, platform)) {
        if (!reader->inRun || reader->run.platform[0] != '\0') {
            BeginRun(reader, reader->lineOffset, lineNumber);   // a console transcript's run
        }
        CopySpan(DropHead(line, platform.length), reader->run.platform, sizeof(reader->run.platform));
        return;
    }
    if (!reader->inRun) {
        if (!IsFrameLine(line)) {
            ++reader->linesOutsideRuns;
        }
        return;
    }
    RunRecord* run = &reader->run;
    TextSpan dateTime = HeadOf(kMsgDateTimeHead);
    if (SpanStartsWith(line, dateTime)) {
        if (run->dateTime[0] == '\0') {
            CopySpan(DropHead(line, dateTime.length), run->dateTime, sizeof(run->dateTime));
        }
        return;
    }
    if (IsLine(line, kMsgStop) || IsLine(line, kMsgClosingPrompt)) {
        run->finished = true;
        EndRun(reader);
        return;
    }
    if (IsLine(line, kMsgRebootAdvice)) {
        run->rebootAdvised = true;
        return;
    }
    if (TakeStageHeader(reader, line) || TakeStageLine(reader, line) || IsFrameLine(line)) {
        return;
    }
    ++run->unrecognisedLines;
}
