// The whole report: the output folder checked and made, the results folders listed, each
// machine read in the order of its name (its runs and findings streamed out), then hosts.csv,
// report.html and the summary on standard output.
#include "report/report.h"
#include "report/report_platform.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunkSize = 256 * 1024;

struct MachineEntry {
    std::string name;
    uint32_t folder;   // index of the results folder that holds it
};

void Say(int stream, const std::string& text)
{
    WriteStream(stream, text.data(), text.size());
}

bool OpenOut(Report* report, const char* name, OutFile* file)
{
    int32_t error = 0;
    if (CreateOutFile(report->outFolder, name, file, &error) != kTreeOk) {
        Say(2, "purgekit-report: " + JoinPath(report->outFolder, name) +
                   ": cannot be written: " + ErrorText(error) + "\n");
        return false;
    }
    return true;
}

bool FinishOutFile(OutFile* file)
{
    int32_t error = FinishOut(file);
    if (error != 0) {
        Say(2,
            "purgekit-report: " + file->path + ": cannot be written: " + ErrorText(error) + "\n");
    }
    return error == 0;
}

// Lists the results folders' machine folders into *machines (by name, then by folder).
void ListMachines(Report* report, const std::vector<TreeFolder>& folders,
                  const std::vector<bool>& open, std::vector<MachineEntry>* machines)
{
    for (uint32_t index = 0; index < folders.size(); ++index) {
        if (!open[index]) {
            continue;
        }
        std::vector<TreeEntry> entries;
        int32_t error = 0;
        if (ListTreeFolder(folders[index], &entries, &error) != kTreeOk) {
            NoteProblem(report, folders[index].path,
                        "could not be read to its end: " + ErrorText(error), true);
        }
        for (TreeEntry& entry : entries) {
            switch (entry.kind) {
            case EntryKind::kFolder:
            case EntryKind::kLink:   // said and left when its machine is read
                machines->push_back(MachineEntry{std::move(entry.name), index});
                break;
            case EntryKind::kFile:
            case EntryKind::kOther:
                NoteProblem(report, JoinPath(folders[index].path, entry.name),
                            "not a machine's folder: not read", false);
                break;
            }
        }
    }
    std::sort(machines->begin(), machines->end(), [](const MachineEntry& a, const MachineEntry& b) {
        return a.name != b.name ? a.name < b.name : a.folder < b.folder;
    });
}

std::string SummaryLines(const Report& report)
{
    const ReportTotals& totals = report.totals;
    std::string text = "purgekit-report: " + std::to_string(report.machines.size()) + " machines:";
    for (uint32_t status = 0; status < kStatusCount; ++status) {
        text += std::string(status == 0 ? " " : ", ") + std::to_string(totals.byStatus[status]) +
                " " + StatusName(static_cast<MachineStatus>(status));
    }
    text += "\n  runs of the cleaner: " + std::to_string(totals.runs) +
            ", unattended runs recorded: " + std::to_string(totals.launches) +
            ", dormant copies found by sweeps: " + std::to_string(totals.copies) + "\n";
    if (totals.problems > 0) {
        text += "  inputs not read as expected: " + std::to_string(totals.problems) +
                " (could not be read: " + std::to_string(totals.unreadable) +
                "), listed on standard error and in report.html\n";
    }
    const std::string& out = report.outFolder;
    text += "  report:   " + JoinPath(out, "report.html") + "\n";
    text += "  machines: " + JoinPath(out, "hosts.csv") + "\n";
    text += "  runs:     " + JoinPath(out, "runs.jsonl") + "\n";
    text += "  findings: " + JoinPath(out, "findings.jsonl") + "\n";
    return text;
}

int MakeReport(Report* report)
{
    const ReportOptions& options = *report->options;
    int32_t error = 0;
    int32_t status =
        PrepareOutFolder(options.outFolder, options.resultsFolders, &report->outFolder, &error);
    if (status == kOutInsideResults) {
        Say(2,
            "purgekit-report: the output folder " + options.outFolder + " is the results folder " +
                options.resultsFolders[static_cast<size_t>(error) % options.resultsFolders.size()] +
                " or lies inside it: nothing is ever written into a results folder\n");
        return kExitError;
    }
    if (status != kTreeOk) {
        Say(2, "purgekit-report: the output folder " + options.outFolder + " cannot be made: " +
                   ErrorText(error) + "\n");
        return kExitError;
    }
    OutFile html{-1, std::string(), std::string(), 0};
    OutFile csv{-1, std::string(), std::string(), 0};
    if (!OpenOut(report, "runs.jsonl", &report->runsOut) ||
        !OpenOut(report, "findings.jsonl", &report->findingsOut) ||
        !OpenOut(report, "hosts.csv", &csv) || !OpenOut(report, "report.html", &html)) {
        FinishOut(&report->runsOut);
        FinishOut(&report->findingsOut);
        FinishOut(&csv);
        return kExitError;
    }
    std::vector<TreeFolder> folders(options.resultsFolders.size(), TreeFolder{-1, std::string()});
    std::vector<bool> open(folders.size(), false);
    for (size_t index = 0; index < folders.size(); ++index) {
        status = OpenResultsFolder(options.resultsFolders[index], &folders[index], &error);
        open[index] = status == kTreeOk;
        if (status == kTreeNotFolder) {
            NoteProblem(report, options.resultsFolders[index], "not a folder: not read", true);
        } else if (status != kTreeOk) {
            NoteProblem(report, options.resultsFolders[index],
                        "could not be read: " + ErrorText(error), true);
        }
    }
    std::vector<MachineEntry> machines;
    ListMachines(report, folders, open, &machines);
    std::vector<const TreeFolder*> holding;
    for (size_t first = 0; first < machines.size();) {
        size_t end = first;
        holding.clear();
        while (end < machines.size() && machines[end].name == machines[first].name) {
            holding.push_back(&folders[machines[end].folder]);
            ++end;
        }
        ReadMachine(report, machines[first].name, holding);
        first = end;
    }
    machines.clear();
    machines.shrink_to_fit();
    for (TreeFolder& folder : folders) {
        CloseTreeFolder(&folder);
    }
    WriteHostsCsv(*report, &csv);
    WriteHtmlReport(*report, &html);
    bool written = FinishOutFile(&report->runsOut);
    written = FinishOutFile(&report->findingsOut) && written;
    written = FinishOutFile(&csv) && written;
    written = FinishOutFile(&html) && written;
    Say(1, SummaryLines(*report));
    if (!written || report->totals.unreadable > 0) {
        return kExitError;
    }
    const uint64_t clean = report->totals.byStatus[static_cast<uint32_t>(MachineStatus::kClean)];
    return clean == report->machines.size() ? kExitAllClean : kExitNotClean;
}

}  // namespace

int RunReport(const ReportOptions& options)
{
    Report* report = new Report();
    report->options = &options;
    report->writtenAt = UtcNowText();
    report->runsOut = OutFile{-1, std::string(), std::string(), 0};
    report->findingsOut = OutFile{-1, std::string(), std::string(), 0};
    report->chunk.resize(kChunkSize);
    report->reader = new LogReader;
    int code = MakeReport(report);
    delete report->reader;
    delete report;
    return code;
}

int ReportMain(const std::vector<std::string>& arguments)
{
    ReportOptions options;
    std::string problem;
    int32_t status = ParseReportOptions(arguments, &options, &problem);
    if (status == kOptionsHelp || status == kOptionsVersion) {
        const char* text = status == kOptionsHelp ? ReportUsageText() : ReportVersionText();
        WriteStream(1, text, strlen(text));
        return kExitAllClean;
    }
    if (status != kOptionsOk) {
        Say(2, "purgekit-report: " + problem + "\n");
        WriteStream(2, ReportUsageText(), strlen(ReportUsageText()));
        return kExitError;
    }
    return RunReport(options);
}
