// The outbreak report: purgekit-report reads the results folders that the unattended runs and
// the sweeps left (one folder per machine: the cleaner's log, its console transcripts, the
// launcher's runs.jsonl, the sweeps' JSON Lines), tells each machine's status, and writes
// report.html, hosts.csv, runs.jsonl and findings.jsonl. Records and status codes shared by its
// parts; the platform's own pieces (POSIX or Win32) are declared in report_platform.h.
//
// The results were written by machines that were infected: every file is read as a stream of
// any bytes, every text kept is bounded, and nothing in a results folder is ever changed.
#pragma once

#include "json/json.h"
#include "logread/logread.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// ---- Exit codes ---------------------------------------------------------------------------
constexpr int kExitAllClean = 0;   // every machine clean
constexpr int kExitNotClean = 1;   // some machine is not clean
constexpr int kExitError = 2;      // a usage error, or an input that could not be read

// ---- Options ------------------------------------------------------------------------------
constexpr int32_t kOptionsOk = 0;
constexpr int32_t kOptionsUsage = -2;    // a usage error: the usage goes to stderr
constexpr int32_t kOptionsHelp = 1;      // --help
constexpr int32_t kOptionsVersion = 2;   // --version

struct ReportOptions {
    std::vector<std::string> resultsFolders;   // as given (UTF-8 on Windows)
    std::string outFolder = "purgekit-report";
};

// Parses the arguments after the program's name. RETURNS a status above; *problem says what
// is wrong with a usage error.
int32_t ParseReportOptions(const std::vector<std::string>& arguments, ReportOptions* options,
                           std::string* problem);
const char* ReportUsageText();
const char* ReportVersionText();

// ---- A machine's status -------------------------------------------------------------------

// In the order the report lists them: the machines that need a person first.
enum class MachineStatus : uint8_t { kAttention, kNoRun, kSecondRun, kClean };
constexpr uint32_t kStatusCount = 4;
// "attention", "no-run", "second-run", "clean".
const char* StatusName(MachineStatus status);

// The unattended launcher's outcome words (runs.jsonl), as the cleaner's run outcomes.
// RETURNS false for any other word.
bool LauncherOutcomeOf(const std::string& word, RunOutcome* outcome);

// What the sweeps of one machine reported.
struct SweepTally {
    uint32_t files;          // sweep results files read
    uint32_t unfinished;     // of them, files without their summary line
    uint64_t found;          // files found
    uint64_t leftInPlace;    // found and neither moved nor removed (no action, or it failed)
    uint64_t errors;         // paths the sweep could not read
};

// The facts a machine's status is made of.
struct MachineFacts {
    uint32_t runs;                // the cleaner's runs read (log, or else transcripts)
    RunOutcome latest;            // the latest of them, when runs > 0
    uint32_t launches;            // valid records of runs.jsonl
    RunOutcome launcherLatest;    // the last of them, when launches > 0
    uint32_t unreadable;          // files or folders of the machine that could not be read
    uint32_t badLines;            // lines of runs.jsonl or of sweep results not read as such
    SweepTally sweeps;
};

// The status, from the latest run: `clean` found nothing, `second-run` found and removed
// everything (reboot and run again), `attention` a removal failed, the run was cut short or
// failed; the launcher's last record saying incomplete or failed makes it `attention` too,
// and stands for the run when the log holds none. A machine of sweeps only (no run, no
// launcher record) is `clean`. Then: a sweep that left a found file in place, could not read
// a path or did not finish, an unreadable file, and a line of runs.jsonl or of sweep results
// that could not be read (it may have been the last record or a finding), make it
// `attention`. Nothing at all is `no-run`.
MachineStatus StatusOf(const MachineFacts& facts);

// ---- Texts of a run -----------------------------------------------------------------------

constexpr size_t kSummaryTextSize = 1024;   // found and failure texts of a machine, at most

// What a run found, in a few words ("services Krn132, KernelSvc; TROJ_VORN.A processes 1;
// start-up values Run\krn132; inoculated"); empty when it found nothing.
std::string FoundText(const RunRecord& run);
// Each failure of the run ("process not ended: C:\x.exe"), and "cut short" for a run without
// its end. Appended to *texts.
void AppendFailureTexts(const RunRecord& run, std::vector<std::string>* texts);
// "kind: text" of one failure.
std::string FailureText(const FailureRecord& failure);
const char* FailureKindName(FailureKind kind);
// "not reported", "not found", "deleted", "delete failed", "blocking folder".
const char* DroppedText(const RunRecord& run, uint32_t file);
// Joins texts with "; ", bounded by `limit` bytes (cut at a character's start, "..." after).
std::string JoinBounded(const std::vector<std::string>& texts, size_t limit);

// The log's date and time ("Wed Apr 03 09:05:03 2002") as ISO 8601 ("2002-04-03T09:05:03",
// the machine's local time) and its day as YYYYMMDD. RETURNS false when it is not a date.
bool ParseLogDate(const char* text, std::string* iso, uint32_t* day);

// ---- Texts for the outputs ----------------------------------------------------------------

// One CSV field (RFC 4180): quoted when it holds a comma, a quote, CR or LF; bytes as they are.
void AppendCsvField(std::string* out, const std::string& text);
// Text for HTML: & < > " ' as references; valid UTF-8 kept; each byte that is not part of
// valid UTF-8, each control character and DEL shown as a marked "\xNN" (never markup).
void AppendHtmlText(std::string* out, const char* bytes, size_t size);
void AppendHtmlText(std::string* out, const std::string& text);

// A runs.jsonl object for a run of the cleaner read from `source` (a file of the machine).
void AppendRunJson(std::string* out, const std::string& host, const std::string& source,
                   uint64_t index, const RunRecord& run);

// ---- Lines of the JSON Lines inputs -------------------------------------------------------

// A record of the launcher's runs.jsonl.
struct LauncherRecord {
    std::string host, started, ended, platform, console;
    RunOutcome outcome;
    bool hasExitCode;
    int64_t exitCode;
};
// RETURNS true for a record with the launcher's fields (host, started, outcome as strings;
// outcome one of its words); otherwise false, with *problem.
bool ReadLauncherRecord(const std::vector<JsonMember>& members, LauncherRecord* record,
                        std::string* problem);
void AppendLauncherJson(std::string* out, const std::string& host, const std::string& source,
                        uint64_t index, const LauncherRecord& record);

enum class SweepLineKind : uint8_t { kFound, kError, kSummary };
struct SweepLine {
    SweepLineKind kind;
    std::string path;
    uint64_t size;
    std::vector<std::string> variants;
    std::string action;       // "moved", "removed", "failed", or empty: none
    std::string quarantine;
    std::string error;
};
// RETURNS true for a line of purgekit-scan --json; otherwise false, with *problem.
bool ReadSweepLine(const std::vector<JsonMember>& members, SweepLine* line, std::string* problem);
// A findings.jsonl object for a found line.
void AppendFindingJson(std::string* out, const std::string& host, const std::string& source,
                       uint64_t lineNumber, const SweepLine& line);

// ---- The report being made ----------------------------------------------------------------

// A machine as the report keeps it to the end: compact, its texts in one string.
enum SummaryPart : uint8_t { kPartName, kPartPlatform, kPartLastRun, kPartFound, kPartFailures };
constexpr uint32_t kSummaryParts = 5;
struct MachineSummary {
    std::string texts;                       // the parts one after the other
    uint16_t lengths[kSummaryParts];
    MachineStatus status;
    uint32_t runs;
    uint64_t sweepFound;
};
void SetSummaryParts(MachineSummary* summary, const std::string* parts);   // kSummaryParts of them
std::string SummaryText(const MachineSummary& summary, SummaryPart part);

// A dormant copy shown in report.html (the first kCopiesShown of them).
struct CopyRow {
    std::string machine, path, variants, action, quarantine;
};
constexpr size_t kCopiesShown = 1000;
constexpr size_t kProblemsShown = 1000;
constexpr size_t kPathShown = 1024;     // bytes of a path shown in report.html
constexpr size_t kChartDays = 60;       // the latest days with runs, drawn in the chart
constexpr size_t kDaysKept = 4096;      // distinct days counted at most
constexpr size_t kOutBufferSize = 1 << 20;

// Runs of one day by outcome (RunOutcome order: clean, cleaned, incomplete, failed).
struct DayCount {
    uint64_t byOutcome[4];
};

// An output file, written through a buffer.
struct OutFile {
    intptr_t handle;
    std::string path;
    std::string buffer;
    int32_t error;   // the first error (the platform's number), 0 while all is well
};
void WriteOut(OutFile* file, const std::string& text);
void WriteOut(OutFile* file, const char* bytes, size_t size);
// Writes what is buffered and closes the file. RETURNS the file's first error, or 0.
int32_t FinishOut(OutFile* file);

struct ReportTotals {
    uint64_t byStatus[kStatusCount];
    uint64_t runs;              // the cleaner's runs read
    uint64_t launches;          // launcher records read
    uint64_t copies;            // dormant copies found by the sweeps
    uint64_t problems;          // bad inputs reported
    uint64_t unreadable;        // inputs that could not be read
    uint64_t runsWithoutDay;    // runs whose date line is missing or no date
    uint64_t runsOnOtherDays;   // runs on days beyond the kDaysKept counted
};

struct Report {
    const ReportOptions* options;
    std::string outFolder;                  // OUT_DIR, absolute
    std::string writtenAt;                  // UTC, ISO 8601
    OutFile runsOut;
    OutFile findingsOut;
    std::vector<MachineSummary> machines;   // in the order read (by name)
    std::vector<CopyRow> copies;            // the first kCopiesShown
    std::vector<std::string> problems;      // the first kProblemsShown
    std::map<uint32_t, DayCount> days;
    ReportTotals totals;
    // Scratch, reused from file to file.
    std::vector<char> chunk;
    LogReader* reader;
    std::string line;
    std::string json;
    std::vector<JsonMember> members;
};

// A bad input: one line on standard error and in report.html. `unreadable`: it could not be
// read at all (the exit code is then 2).
void NoteProblem(Report* report, const std::string& where, const std::string& what,
                 bool unreadable);

// The machines in the order of the report: the ones that need a person first, then by name.
std::vector<uint32_t> MachineOrder(const Report& report);
void WriteHostsCsv(const Report& report, OutFile* out);
void WriteHtmlReport(const Report& report, OutFile* out);
// The runs-per-day chart, an inline SVG element (empty text when there are no dated runs).
std::string DayChartSvg(const std::map<uint32_t, DayCount>& days);

// Reads one machine, whose folder of that name lies in one or more of the open results
// folders (report_platform.h's TreeFolder): streams its runs and findings out and keeps its
// summary. A machine folder that is a link is not read; when all of them are, there is no
// machine.
struct TreeFolder;
void ReadMachine(Report* report, const std::string& name,
                 const std::vector<const TreeFolder*>& resultsFolders);

// The whole report. RETURNS the exit code.
int RunReport(const ReportOptions& options);
// The program: options, then the report. RETURNS the exit code.
int ReportMain(const std::vector<std::string>& arguments);
