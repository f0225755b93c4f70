// What one line of the cleaner's log or console says, entered into the run being read.
// Lines are recognised by the cleaner's own texts; the stage headers tell which memory pass a
// scanning line belongs to, and a process identified by a pass stays open until its next
// line shows whether it was terminated.
#include "logread/run_lines.h"

#include "messages/messages.h"

#include <cstring>

namespace {

// The lines, heads and tails of the messages, worked out by the compiler.
struct FixedLine {
    TextSpan line;
    uint32_t bit;
};

constexpr FixedLine kServiceKeyLines[] = {
    {LineOf(kMsgKernelSvcKeyDeleted), kServiceKernelSvc},
    {LineOf(kMsgKrn132KeyDeleted), kServiceKrn132},
    {LineOf(kMsgWinSvcKeyDeleted), kServiceWinSvc},
};
constexpr FixedLine kServiceStoppedLines[] = {
    {LineOf(kMsgKernelSvcStopped), kServiceKernelSvc},
    {LineOf(kMsgKrn132Stopped), kServiceKrn132},
    {LineOf(kMsgWinSvcStopped), kServiceWinSvc},
};
constexpr FixedLine kValueFoundLines[] = {
    {LineOf(kMsgRunKrn132Found), kValueRunKrn132},
    {LineOf(kMsgRunWqkFound), kValueRunWqk},
    {LineOf(kMsgAppInitFound), kValueAppInit},
    {LineOf(kMsgRunWinSvcFound), kValueRunWinSvc},
};
constexpr FixedLine kFolderCreatedLines[] = {
    {LineOf(kMsgKrn132FolderCreated), 1u << 0},
    {LineOf(kMsgWqkExeFolderCreated), 1u << 1},
    {LineOf(kMsgWqkDllFolderCreated), 1u << 2},
    {LineOf(kMsgWinSvcFolderCreated), 1u << 3},
};
constexpr FixedLine kFolderExistingLines[] = {
    {LineOf(kMsgKrn132FolderExists), 1u << 0},
    {LineOf(kMsgWqkExeFolderExists), 1u << 1},
    {LineOf(kMsgWqkDllFolderExists), 1u << 2},
    {LineOf(kMsgWinSvcFolderExists), 1u << 3},
};
constexpr TextSpan kMemoryHeaders[kPassCount] = {
    LineOf(kMsgMemoryHeaderA), LineOf(kMsgMemoryHeaderC), LineOf(kMsgMemoryHeaderE)};
constexpr TextSpan kWormFoundTails[] = {TailOf(kMsgFoundWormA), TailOf(kMsgFoundWormC),
                                        TailOf(kMsgFoundWormE)};
constexpr TextSpan kVirusFoundTails[] = {TailOf(kMsgFoundVirusA), TailOf(kMsgFoundVirusB)};

constexpr TextSpan kStartHead = HeadOf(kMsgStartHead);
constexpr TextSpan kPlatformHead = HeadOf(kMsgPlatformHead);
constexpr TextSpan kDateTimeHead = HeadOf(kMsgDateTimeHead);
constexpr TextSpan kStopLine = LineOf(kMsgStop);
constexpr TextSpan kClosingPromptLine = LineOf(kMsgClosingPrompt);
constexpr TextSpan kIntroPromptLine = LineOf(kMsgIntroPrompt);
constexpr TextSpan kRebootAdviceLine = LineOf(kMsgRebootAdvice);
constexpr TextSpan kServiceHeaderLine = LineOf(kMsgServiceHeader);
constexpr TextSpan kRegistryHeaderLine = LineOf(kMsgRegistryHeader);
constexpr TextSpan kDroppedHeaderLine = LineOf(kMsgDroppedHeader);
constexpr TextSpan kInoculationHeaderLine = LineOf(kMsgInoculationHeader);
constexpr TextSpan kServicesNotFoundLine = LineOf(kMsgServicesNotFound);
constexpr TextSpan kRunKrn132NotFoundLine = LineOf(kMsgRunKrn132NotFound);
constexpr TextSpan kRunWinSvcNotFoundLine = LineOf(kMsgRunWinSvcNotFound);
constexpr TextSpan kInoculatedLine = LineOf(kMsgInoculated);
constexpr TextSpan kAlreadyInoculatedLine = LineOf(kMsgAlreadyInoculated);
constexpr TextSpan kScanningHead = HeadOf(kMsgScanningHead);
constexpr TextSpan kTerminatedTail = TailOf(kMsgTerminated);
constexpr TextSpan kNotFoundTail = TailOf(kMsgNotFound);
constexpr TextSpan kFileLockedTail = TailOf(kMsgFileLocked);
constexpr TextSpan kSkippedTail = TailOf(kMsgSkipped);
constexpr TextSpan kUnknownErrorTail = TailOf(kMsgUnknownError);
constexpr TextSpan kCountTail = TailOf(kMsgCountTail);
constexpr TextSpan kServiceKeyForFileHead = HeadOf(kMsgServiceKeyForFileHead);
constexpr TextSpan kServiceKeyForFileTail = TailOf(kMsgServiceKeyForFileTail);
constexpr TextSpan kFileDeletedHead = HeadOf(kMsgFileDeletedHead);
constexpr TextSpan kFileDeletedTail = TailOf(kMsgFileDeletedTail);
constexpr TextSpan kErrorDeletingHead = HeadOf(kMsgErrorDeletingHead);
constexpr TextSpan kDroppedFileHead = HeadOf(kMsgDroppedFileHead);
constexpr TextSpan kDroppedOutcomeTails[] = {
    TailOf(kMsgDroppedNotFound), TailOf(kMsgDroppedDeleted), TailOf(kMsgDroppedDeleteFailed)};

template <size_t N>
bool MatchFixed(TextSpan line, const FixedLine (&table)[N], uint32_t* bits)
{
    for (const FixedLine& fixed : table) {
        if (SpanEquals(line, fixed.line)) {
            *bits |= fixed.bit;
            return true;
        }
    }
    return false;
}

bool IsLine(TextSpan line, TextSpan expected)
{
    return SpanEquals(line, expected);
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
        const char* name =
            run->serviceKeysDeleted & kServiceKernelSvc ? "Krn132" : "Krn132 or WinSvc";
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
    if (IsLine(line, kServiceHeaderLine)) {
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
    if (IsLine(line, kRegistryHeaderLine)) {
        EnterStage(reader, ReaderStage::kRegistry);
        run->registryStageSeen = true;
        return true;
    }
    if (IsLine(line, kDroppedHeaderLine)) {
        EnterStage(reader, ReaderStage::kDropped);
        run->droppedStageSeen = true;
        return true;
    }
    if (IsLine(line, kInoculationHeaderLine)) {
        EnterStage(reader, ReaderStage::kInoculation);
        run->inoculationSeen = true;
        return true;
    }
    return false;
}

// Strips a message's tail from the end of `line` when it ends with it.
bool StripTail(TextSpan* line, TextSpan tail)
{
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
    if (StripTail(&rest, kCountTail)) {
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
    if (!StripTail(&rest, kUnknownErrorTail)) {
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
    bool terminated = StripTail(&line, kTerminatedTail);
    bool identified = false;
    for (TextSpan found : kWormFoundTails) {
        if (!identified && StripTail(&line, found)) {
            ++pass->wormsFound;
            identified = true;
        }
    }
    for (TextSpan found : kVirusFoundTails) {
        if (!identified && StripTail(&line, found)) {
            ++pass->virusesFound;
            identified = true;
        }
    }
    if (!identified) {
        bool examined = StripTail(&line, kNotFoundTail);
        if (!examined && (StripTail(&line, kFileLockedTail) || StripTail(&line, kSkippedTail) ||
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
    CopySpan(DropHead(line, kScanningHead.length), reader->processText,
             sizeof(reader->processText));
}

bool TakeMemoryLine(LogReader* reader, TextSpan line)
{
    PassRecord* pass = &reader->run.passes[reader->pass];
    if (SpanStartsWith(line, kScanningHead)) {
        TakeScanningLine(reader, line);
        return true;
    }
    // Variant E's service key is reported between the finding and the termination, so
    // " (Terminated)" may end its line.
    TextSpan keyLine = line;
    bool terminated = StripTail(&keyLine, kTerminatedTail);
    if (SpanStartsWith(keyLine, kServiceKeyForFileHead) &&
        SpanEndsWith(keyLine, kServiceKeyForFileTail)) {
        ++pass->serviceKeysDeleted;
        if (terminated && reader->processOpen && !reader->processTerminated) {
            reader->processTerminated = true;
            ++pass->terminated;
        }
        return true;
    }
    if (SpanStartsWith(line, kFileDeletedHead) && !SpanStartsWith(line, kDroppedFileHead) &&
        SpanEndsWith(line, kFileDeletedTail)) {
        ++pass->filesDeleted;
        CloseProcess(reader);
        return true;
    }
    if (SpanStartsWith(line, kErrorDeletingHead)) {
        ++pass->deleteErrors;
        AddFailure(&reader->run, FailureKind::kFileNotDeleted,
                   DropHead(line, kErrorDeletingHead.length));
        CloseProcess(reader);
        return true;
    }
    return false;
}

bool TakeDroppedLine(LogReader* reader, TextSpan line)
{
    const TextSpan head = kDroppedFileHead;
    if (!SpanStartsWith(line, head)) {
        return false;
    }
    static const DroppedOutcome kValues[] = {DroppedOutcome::kNotFound, DroppedOutcome::kDeleted,
                                             DroppedOutcome::kDeleteFailed};
    TextSpan quote = TextSpan{kMsgDroppedFileTail, 1};   // the closing quotation mark
    for (size_t i = 0; i < 3; ++i) {
        TextSpan rest = line;
        if (!StripTail(&rest, kDroppedOutcomeTails[i]) || !SpanEndsWith(rest, quote)) {
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
            if (kValues[i] == DroppedOutcome::kDeleteFailed &&
                (run->droppedBlocked & (1u << file)) == 0) {
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
        if (IsLine(line, kServicesNotFoundLine)) {
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
            if (SpanStartsWith(line, value.line)) {
                run->valuesRemoved |= value.bit;
                return true;
            }
        }
        return IsLine(line, kRunKrn132NotFoundLine) || IsLine(line, kRunWinSvcNotFoundLine);
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
        if (IsLine(line, kInoculatedLine)) {
            run->systemInoculated = true;
            return true;
        }
        if (IsLine(line, kAlreadyInoculatedLine)) {
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
    if (line.length == 0 || SpanEquals(line, rule) || IsLine(line, kIntroPromptLine)) {
        return true;
    }
    return line.length >= 2 && line.bytes[0] == ' ' &&
           (line.bytes[1] == '+' || line.bytes[1] == '|');
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
    const TextSpan start = kStartHead;
    if (SpanStartsWith(line, start)) {
        BeginRun(reader, reader->lineOffset, lineNumber);
        reader->run.startLineSeen = true;
        CopySpan(DropHead(line, start.length), reader->run.version, sizeof(reader->run.version));
        return;
    }
    const TextSpan platform = kPlatformHead;
    if (SpanStartsWith(line, platform)) {
        if (!reader->inRun || reader->run.platform[0] != '\0') {
            BeginRun(reader, reader->lineOffset, lineNumber);   // a console transcript's run
        }
        CopySpan(DropHead(line, platform.length), reader->run.platform,
                 sizeof(reader->run.platform));
        return;
    }
    if (!reader->inRun) {
        if (!IsFrameLine(line)) {
            ++reader->linesOutsideRuns;
        }
        return;
    }
    RunRecord* run = &reader->run;
    const TextSpan dateTime = kDateTimeHead;
    if (SpanStartsWith(line, dateTime)) {
        if (run->dateTime[0] == '\0') {
            CopySpan(DropHead(line, dateTime.length), run->dateTime, sizeof(run->dateTime));
        }
        return;
    }
    if (IsLine(line, kStopLine) || IsLine(line, kClosingPromptLine)) {
        run->finished = true;
        EndRun(reader);
        return;
    }
    if (IsLine(line, kRebootAdviceLine)) {
        run->rebootAdvised = true;
        return;
    }
    if (TakeStageHeader(reader, line) || TakeStageLine(reader, line) || IsFrameLine(line)) {
        return;
    }
    ++run->unrecognisedLines;
}
