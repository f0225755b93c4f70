// One machine: its folder (or its folders, one per results folder) listed, its log read run
// by run (or, without a log that holds a run, its console transcripts), the launcher's
// records and the sweeps' lines read; runs and findings streamed out as they come, and the
// machine's compact summary kept.
#include "report/report.h"
#include "report/report_platform.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kJsonLineSize = 256 * 1024;   // longer lines are not read
constexpr uint32_t kLineProblemsPerFile = 5;   // bad lines named one by one, then counted

enum class FileRole : uint8_t { kLog, kLauncher, kTranscript, kSweep, kOther };

struct MachineFile {
    TreeFolder* folder;
    std::string name;
    FileRole role;
};

struct MachineRead {
    Report* report;
    const std::string* name;
    MachineFacts facts;
    RunRecord latest;
    LauncherRecord launcher;
    std::vector<std::string> failures;   // besides the latest run's own
    // The file being read.
    const MachineFile* file;
    std::string where;
    uint64_t fileRuns;
    uint64_t fileCutRuns;
    uint64_t fileUnrecognised;
    uint64_t fileCutLines;
    // JSON Lines of the file being read.
    uint64_t lineNumber;
    uint64_t badLines;
    bool lastWasSummary;
    bool hostNoted;
};

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const std::string& text, size_t at, const char* expected, size_t length)
{
    if (text.size() < at + length) {
        return false;
    }
    for (size_t index = 0; index < length; ++index) {
        if (LowerAscii(text[at + index]) != LowerAscii(expected[index])) {
            return false;
        }
    }
    return true;
}

// The launcher writes "PURGEKIT.LOG", "runs.jsonl" and "console-<time>.txt"; a copy through
// another system may change the letter case.
FileRole RoleOf(const std::string& name)
{
    if (name.size() == 12 && EqualsIgnoringCase(name, 0, "purgekit.log", 12)) {
        return FileRole::kLog;
    }
    if (name.size() == 10 && EqualsIgnoringCase(name, 0, "runs.jsonl", 10)) {
        return FileRole::kLauncher;
    }
    if (name.size() > 12 && EqualsIgnoringCase(name, 0, "console-", 8) &&
        EqualsIgnoringCase(name, name.size() - 4, ".txt", 4)) {
        return FileRole::kTranscript;
    }
    if (name.size() > 6 && EqualsIgnoringCase(name, name.size() - 6, ".jsonl", 6)) {
        return FileRole::kSweep;
    }
    return FileRole::kOther;
}

// A file that could not be read: the machine needs a person, the report's exit code is 2.
void NoteUnreadable(MachineRead* read, const std::string& where, const std::string& name,
                    int32_t error)
{
    std::string reason = ErrorText(error);
    NoteProblem(read->report, where, "could not be read: " + reason, true);
    ++read->facts.unreadable;
    read->failures.push_back(name + " could not be read: " + reason);
}

// Opens one of the machine's files. RETURNS false (said why) when it is not to be read.
bool OpenMachineFile(MachineRead* read, const MachineFile& file, TreeFile* opened)
{
    int32_t error = 0;
    read->where = JoinPath(file.folder->path, file.name);
    int32_t status = OpenTreeFile(*file.folder, file.name, opened, &error);
    if (status == kTreeLink) {
        NoteProblem(read->report, read->where, "a symbolic link: not followed, not read", false);
    } else if (status == kTreeNotFile) {
        NoteProblem(read->report, read->where, "not a regular file: not read", false);
    } else if (status != kTreeOk) {
        NoteUnreadable(read, read->where, file.name, error);
    }
    return status == kTreeOk;
}

// The next chunk of an opened file into the report's chunk buffer. RETURNS its size; 0 at the
// end, or when it could not be read (said).
size_t ReadChunk(MachineRead* read, TreeFile* opened, const std::string& name)
{
    std::vector<char>& chunk = read->report->chunk;
    size_t got = 0;
    int32_t error = 0;
    if (ReadTreeFile(opened, chunk.data(), chunk.size(), &got, &error) != kTreeOk) {
        NoteUnreadable(read, read->where, name, error);
        return 0;
    }
    return got;
}

// ---- The cleaner's runs -------------------------------------------------------------------

void CountDay(Report* report, const RunRecord& run, RunOutcome outcome)
{
    std::string iso;
    uint32_t day = 0;
    if (!ParseLogDate(run.dateTime, &iso, &day)) {
        ++report->totals.runsWithoutDay;
        return;
    }
    auto found = report->days.find(day);
    if (found == report->days.end()) {
        if (report->days.size() >= kDaysKept) {
            ++report->totals.runsOnOtherDays;
            return;
        }
        found = report->days.emplace(day, DayCount{}).first;
    }
    ++found->second.byOutcome[static_cast<uint8_t>(outcome) & 3];
}

void TakeRun(void* context, const RunRecord& run)
{
    MachineRead* read = static_cast<MachineRead*>(context);
    Report* report = read->report;
    ++read->fileRuns;
    ++read->facts.runs;
    ++report->totals.runs;
    RunOutcome outcome = ClassifyRun(run);
    read->facts.latest = outcome;
    memcpy(&read->latest, &run, sizeof(run));
    read->fileUnrecognised += run.unrecognisedLines;
    read->fileCutLines += run.cutLines;
    if (!run.finished) {
        ++read->fileCutRuns;
    }
    CountDay(report, run, outcome);
    report->json.clear();
    AppendRunJson(&report->json, *read->name, read->file->name, read->fileRuns, run);
    WriteOut(&report->runsOut, report->json);
}

// NUL bytes are no text the cleaner writes: a log holding them is said to be damaged.
uint64_t CountNulBytes(const char* bytes, size_t size)
{
    const char* first = static_cast<const char*>(memchr(bytes, '\0', size));
    if (first == nullptr) {
        return 0;
    }
    uint64_t count = 0;
    for (const char* at = first; at < bytes + size; ++at) {
        count += *at == '\0' ? 1 : 0;
    }
    return count;
}

std::string Count(uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Reads a log or a transcript through the reader. RETURNS the blocking folders standing after
// it (for the next transcript of the same machine).
uint8_t ReadRunsFile(MachineRead* read, const MachineFile& file, uint8_t foldersStanding)
{
    TreeFile opened;
    if (!OpenMachineFile(read, file, &opened)) {
        return foldersStanding;
    }
    Report* report = read->report;
    read->file = &file;
    read->fileRuns = read->fileCutRuns = read->fileUnrecognised = read->fileCutLines = 0;
    uint64_t nulBytes = 0;
    uint64_t bytes = 0;
    LogReader* reader = report->reader;
    StartReading(reader, TakeRun, read, foldersStanding);
    for (size_t got; (got = ReadChunk(read, &opened, file.name)) > 0;) {
        nulBytes += CountNulBytes(report->chunk.data(), got);
        bytes += got;
        ReadLogBytes(reader, report->chunk.data(), got);
    }
    CloseTreeFile(&opened);
    FinishReading(reader);
    read->fileUnrecognised += reader->linesOutsideRuns;
    std::vector<std::string> notes;
    if (read->fileRuns == 0) {
        notes.push_back(bytes == 0 ? "empty: no run of the cleaner"
                                   : "no run of the cleaner in it");
    }
    if (read->fileUnrecognised > 0) {
        notes.push_back(Count(read->fileUnrecognised, "line is", "lines are") +
                        " not the cleaner's");
    }
    if (nulBytes > 0) {
        notes.push_back(Count(nulBytes, "NUL byte", "NUL bytes"));
    }
    if (read->fileCutLines > 0) {
        notes.push_back(Count(read->fileCutLines, "line is", "lines are") + " longer than " +
                        std::to_string(kLogLineSize) + " bytes (their start read)");
    }
    if (read->fileCutRuns > 0) {
        notes.push_back(Count(read->fileCutRuns, "run has", "runs have") + " no end (cut short)");
    }
    if (!notes.empty()) {
        NoteProblem(report, read->where, JoinBounded(notes, kSummaryTextSize), false);
    }
    return reader->foldersStanding;
}

// ---- JSON Lines ---------------------------------------------------------------------------

void NoteBadLine(MachineRead* read, const std::string& what)
{
    if (++read->badLines <= kLineProblemsPerFile) {
        NoteProblem(read->report, read->where + " line " + std::to_string(read->lineNumber), what,
                    false);
    }
}

void TakeLauncherLine(MachineRead* read, const std::vector<JsonMember>& members)
{
    Report* report = read->report;
    LauncherRecord record;
    std::string problem;
    if (!ReadLauncherRecord(members, &record, &problem)) {
        NoteBadLine(read, "not a record of an unattended run: " + problem);
        return;
    }
    ++read->facts.launches;
    ++report->totals.launches;
    read->facts.launcherLatest = record.outcome;
    const std::string& host = *read->name;
    bool sameHost = record.host.size() == host.size() &&
                    EqualsIgnoringCase(record.host, 0, host.data(), host.size());
    if (!sameHost && !read->hostNoted) {
        read->hostNoted = true;
        NoteProblem(report, read->where + " line " + std::to_string(read->lineNumber),
                    "the record names another host than its folder", false);
    }
    report->json.clear();
    AppendLauncherJson(&report->json, host, read->file->name, read->facts.launches, record);
    WriteOut(&report->runsOut, report->json);
    read->launcher = std::move(record);
}

void TakeSweepLine(MachineRead* read, const std::vector<JsonMember>& members)
{
    Report* report = read->report;
    SweepLine line;
    std::string problem;
    if (!ReadSweepLine(members, &line, &problem)) {
        NoteBadLine(read, "not a line of a sweep: " + problem);
        return;
    }
    read->lastWasSummary = line.kind == SweepLineKind::kSummary;
    SweepTally* tally = &read->facts.sweeps;
    if (line.kind == SweepLineKind::kError) {
        ++tally->errors;
        return;
    }
    if (line.kind != SweepLineKind::kFound) {
        return;
    }
    ++tally->found;
    ++report->totals.copies;
    if (line.action.empty() || line.action == "failed") {
        ++tally->leftInPlace;
    }
    report->json.clear();
    AppendFindingJson(&report->json, *read->name, read->file->name, read->lineNumber, line);
    WriteOut(&report->findingsOut, report->json);
    if (report->copies.size() < kCopiesShown) {
        CopyRow row;
        row.machine = *read->name;
        row.path =
            line.path.size() > kPathShown ? line.path.substr(0, kPathShown) + "..." : line.path;
        for (const std::string& variant : line.variants) {
            row.variants += row.variants.empty() ? "" : ", ";
            row.variants += variant.substr(0, 64);
        }
        row.action = line.action.empty() ? "none" : line.action;
        if (!line.error.empty()) {
            row.action += ": " + line.error.substr(0, 256);
        }
        row.quarantine = line.quarantine.substr(0, 256);
        report->copies.push_back(std::move(row));
    }
}

using LineHandler = void (*)(MachineRead* read, const std::vector<JsonMember>& members);

// One line of JSON Lines, its line break dropped; `cut` when it was longer than is read.
void TakeJsonLine(MachineRead* read, LineHandler handler, const std::string& line, bool cut)
{
    ++read->lineNumber;
    if (cut) {
        NoteBadLine(read, "longer than " + std::to_string(kJsonLineSize) + " bytes: not read");
        return;
    }
    size_t length = line.size();
    if (length > 0 && line[length - 1] == '\r') {
        --length;
    }
    size_t errorOffset = 0;
    int32_t status = ReadJsonObject(line.data(), length, &read->report->members, &errorOffset);
    if (status == kJsonEmpty) {
        return;
    }
    if (status != kJsonOk) {
        NoteBadLine(read, std::string("invalid JSON: ") + JsonStatusText(status) + " at byte " +
                              std::to_string(errorOffset + 1));
        return;
    }
    handler(read, read->report->members);
}

void ReadJsonLinesFile(MachineRead* read, const MachineFile& file, LineHandler handler)
{
    TreeFile opened;
    if (!OpenMachineFile(read, file, &opened)) {
        return;
    }
    Report* report = read->report;
    read->file = &file;
    read->lineNumber = 0;
    read->badLines = 0;
    read->lastWasSummary = false;
    std::string& line = report->line;
    line.clear();
    bool cut = false;
    for (size_t got; (got = ReadChunk(read, &opened, file.name)) > 0;) {
        const char* at = report->chunk.data();
        const char* end = at + got;
        while (at < end) {
            const char* newline =
                static_cast<const char*>(memchr(at, '\n', static_cast<size_t>(end - at)));
            const char* stop = newline != nullptr ? newline : end;
            size_t piece = static_cast<size_t>(stop - at);
            if (!cut && line.size() + piece <= kJsonLineSize) {
                line.append(at, piece);
            } else if (!cut) {
                cut = true;
                line.clear();
            }
            at = newline != nullptr ? newline + 1 : end;
            if (newline == nullptr) {
                break;
            }
            TakeJsonLine(read, handler, line, cut);
            line.clear();
            cut = false;
        }
    }
    CloseTreeFile(&opened);
    if (!line.empty() || cut) {   // the last line, without its line break
        TakeJsonLine(read, handler, line, cut);
    }
    if (line.capacity() > 4 * 65536) {
        line.clear();
        line.shrink_to_fit();   // one long line does not keep its memory for the rest
    }
    if (read->badLines > kLineProblemsPerFile) {
        NoteProblem(report, read->where,
                    Count(read->badLines - kLineProblemsPerFile, "more line", "more lines") +
                        " not read (" + Count(read->badLines, "bad line", "bad lines") + " in all)",
                    false);
    }
    if (read->badLines > 0) {
        read->facts.badLines +=
            static_cast<uint32_t>(read->badLines > 0xFFFF ? 0xFFFF : read->badLines);
        read->failures.push_back(file.name + ": " + Count(read->badLines, "line", "lines") +
                                 " not read");
    }
    if (handler == TakeSweepLine) {
        ++read->facts.sweeps.files;
        if (!read->lastWasSummary) {
            ++read->facts.sweeps.unfinished;
            NoteProblem(report, read->where, "no summary line at its end: the sweep did not finish",
                        false);
            read->failures.push_back(file.name + ": the sweep did not finish");
        }
    }
}

// ---- The machine's files ------------------------------------------------------------------

// Lists one folder of the machine into *files: the files it knows by their names; links,
// folders and special files said and left.
void ListMachineFolder(MachineRead* read, TreeFolder* folder, std::vector<MachineFile>* files)
{
    std::vector<TreeEntry> entries;
    int32_t error = 0;
    if (ListTreeFolder(*folder, &entries, &error) != kTreeOk) {
        NoteUnreadable(read, folder->path, "the machine's folder", error);
    }
    std::sort(entries.begin(), entries.end(),
              [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
    for (TreeEntry& entry : entries) {
        std::string where = JoinPath(folder->path, entry.name);
        switch (entry.kind) {
        case EntryKind::kLink:
            NoteProblem(read->report, where, "a symbolic link: not followed, not read", false);
            continue;
        case EntryKind::kFolder:
            NoteProblem(read->report, where, "a folder inside a machine's folder: not read", false);
            continue;
        case EntryKind::kOther:
            NoteProblem(read->report, where, "not a regular file: not read", false);
            continue;
        case EntryKind::kFile:
            break;
        }
        FileRole role = RoleOf(entry.name);
        if (role != FileRole::kOther) {
            files->push_back(MachineFile{folder, std::move(entry.name), role});
        }
    }
}

void KeepSummary(MachineRead* read)
{
    Report* report = read->report;
    MachineFacts& facts = read->facts;
    MachineSummary summary;
    summary.status = StatusOf(facts);
    summary.runs = facts.runs;
    summary.sweepFound = facts.sweeps.found;
    std::string parts[kSummaryParts];
    parts[kPartName] = *read->name;
    std::vector<std::string> failures;
    bool launcherDecides = facts.launches > 0 &&
                           (facts.runs == 0 || facts.launcherLatest == RunOutcome::kIncomplete ||
                            facts.launcherLatest == RunOutcome::kFailed);
    if (facts.runs > 0) {
        const RunRecord& run = read->latest;
        parts[kPartPlatform] = run.platform;
        std::string iso;
        uint32_t day = 0;
        parts[kPartLastRun] =
            ParseLogDate(run.dateTime, &iso, &day) ? iso : std::string(run.dateTime);
        parts[kPartFound] = FoundText(run);
        AppendFailureTexts(run, &failures);
    }
    if (launcherDecides) {
        const LauncherRecord& launcher = read->launcher;
        if (parts[kPartPlatform].empty()) {
            parts[kPartPlatform] = launcher.platform.substr(0, kPlatformSize);
        }
        parts[kPartLastRun] = launcher.started.substr(0, kDateTimeSize);
        if (launcher.outcome == RunOutcome::kIncomplete ||
            launcher.outcome == RunOutcome::kFailed) {
            std::string text =
                "unattended run " + parts[kPartLastRun] + ": " + OutcomeName(launcher.outcome);
            if (launcher.hasExitCode) {
                text += " (exit code " + std::to_string(launcher.exitCode) + ")";
            }
            failures.push_back(text);
        }
    }
    const SweepTally& sweeps = facts.sweeps;
    if (sweeps.leftInPlace > 0) {
        failures.push_back(Count(sweeps.leftInPlace, "dormant copy", "dormant copies") +
                           " left in place");
    }
    if (sweeps.errors > 0) {
        failures.push_back(Count(sweeps.errors, "path", "paths") + " the sweep could not read");
    }
    failures.insert(failures.end(), read->failures.begin(), read->failures.end());
    parts[kPartFailures] = JoinBounded(failures, kSummaryTextSize);
    SetSummaryParts(&summary, parts);
    ++report->totals.byStatus[static_cast<uint32_t>(summary.status) % kStatusCount];
    report->machines.push_back(std::move(summary));
}

}  // namespace

void ReadMachine(Report* report, const std::string& name,
                 const std::vector<const TreeFolder*>& resultsFolders)
{
    MachineRead* read = new MachineRead();
    read->report = report;
    read->name = &name;
    std::vector<TreeFolder> folders(resultsFolders.size(), TreeFolder{-1, std::string()});
    std::vector<MachineFile> files;
    bool machine = false;
    for (size_t index = 0; index < resultsFolders.size(); ++index) {
        int32_t error = 0;
        std::string where = JoinPath(resultsFolders[index]->path, name);
        int32_t status = OpenTreeFolder(*resultsFolders[index], name, &folders[index], &error);
        if (status == kTreeLink) {
            NoteProblem(report, where, "a symbolic link: not followed, not read", false);
            continue;
        }
        machine = true;
        if (status != kTreeOk) {
            NoteUnreadable(read, where, "the machine's folder", error);
            continue;
        }
        ListMachineFolder(read, &folders[index], &files);
    }
    if (machine) {
        // Runs come from the logs; only when no log holds a run, from the console transcripts
        // (the unattended runs, which the log holds again when there is one).
        for (const MachineFile& file : files) {
            if (file.role == FileRole::kLog) {
                ReadRunsFile(read, file, 0);
            }
        }
        if (read->facts.runs == 0) {
            std::vector<const MachineFile*> transcripts;
            for (const MachineFile& file : files) {
                if (file.role == FileRole::kTranscript) {
                    transcripts.push_back(&file);
                }
            }
            std::stable_sort(
                transcripts.begin(), transcripts.end(),
                [](const MachineFile* a, const MachineFile* b) { return a->name < b->name; });
            uint8_t standing = 0;
            for (const MachineFile* file : transcripts) {
                standing = ReadRunsFile(read, *file, standing);
            }
        }
        for (const MachineFile& file : files) {
            if (file.role == FileRole::kLauncher) {
                read->hostNoted = false;
                ReadJsonLinesFile(read, file, TakeLauncherLine);
            } else if (file.role == FileRole::kSweep) {
                ReadJsonLinesFile(read, file, TakeSweepLine);
            }
        }
        KeepSummary(read);
    }
    for (TreeFolder& folder : folders) {
        CloseTreeFolder(&folder);
    }
    delete read;
}
