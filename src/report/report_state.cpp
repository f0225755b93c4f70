// What the report keeps to its end: the machines' compact summaries, the bad inputs, and the
// buffered output files; hosts.csv, written from the summaries.
#include "report/report.h"
#include "report/report_platform.h"

#include <algorithm>

void SetSummaryParts(MachineSummary* summary, const std::string* parts)
{
    summary->texts.clear();
    for (uint32_t part = 0; part < kSummaryParts; ++part) {
        // Every part is bounded by what made it (a folder name, kSummaryTextSize); the cut
        // here only keeps the lengths within their 16 bits whatever happens.
        size_t length = parts[part].size() < 0xFFFF ? parts[part].size() : 0xFFFF;
        summary->lengths[part] = static_cast<uint16_t>(length);
        summary->texts.append(parts[part], 0, length);
    }
    summary->texts.shrink_to_fit();
}

std::string SummaryText(const MachineSummary& summary, SummaryPart part)
{
    size_t at = 0;
    for (uint32_t index = 0; index < part && index < kSummaryParts; ++index) {
        at += summary.lengths[index];
    }
    uint32_t index = part < kSummaryParts ? part : 0;
    if (at > summary.texts.size()) {
        return std::string();
    }
    return summary.texts.substr(at, summary.lengths[index]);
}

void NoteProblem(Report* report, const std::string& where, const std::string& what, bool unreadable)
{
    std::string line = where + ": " + what;
    std::string message = "purgekit-report: " + line + "\n";
    WriteStream(2, message.data(), message.size());
    ++report->totals.problems;
    if (unreadable) {
        ++report->totals.unreadable;
    }
    if (report->problems.size() < kProblemsShown) {
        report->problems.push_back(line);
    }
}

void WriteOut(OutFile* file, const char* bytes, size_t size)
{
    file->buffer.append(bytes, size);
    if (file->buffer.size() >= kOutBufferSize) {
        if (file->error == 0) {
            file->error = WriteHandle(file->handle, file->buffer.data(), file->buffer.size());
        }
        file->buffer.clear();
    }
}

void WriteOut(OutFile* file, const std::string& text)
{
    WriteOut(file, text.data(), text.size());
}

int32_t FinishOut(OutFile* file)
{
    if (file->handle == -1) {
        return file->error;
    }
    if (file->error == 0 && !file->buffer.empty()) {
        file->error = WriteHandle(file->handle, file->buffer.data(), file->buffer.size());
    }
    file->buffer.clear();
    file->buffer.shrink_to_fit();
    int32_t closed = CloseOutHandle(file->handle);
    file->handle = -1;
    if (file->error == 0) {
        file->error = closed;
    }
    return file->error;
}

std::vector<uint32_t> MachineOrder(const Report& report)
{
    std::vector<uint32_t> order(report.machines.size());
    for (uint32_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    // The machines were read in the order of their names: a stable sort by status keeps it.
    std::stable_sort(order.begin(), order.end(), [&](uint32_t left, uint32_t right) {
        return report.machines[left].status < report.machines[right].status;
    });
    return order;
}

void WriteHostsCsv(const Report& report, OutFile* out)
{
    WriteOut(out, "host,platform,status,runs,last_run,found,failures,sweep_found\r\n");
    std::string row;
    for (uint32_t index : MachineOrder(report)) {
        const MachineSummary& machine = report.machines[index];
        row.clear();
        AppendCsvField(&row, SummaryText(machine, kPartName));
        row.push_back(',');
        AppendCsvField(&row, SummaryText(machine, kPartPlatform));
        row.push_back(',');
        row.append(StatusName(machine.status));
        row.push_back(',');
        row.append(std::to_string(machine.runs));
        row.push_back(',');
        AppendCsvField(&row, SummaryText(machine, kPartLastRun));
        row.push_back(',');
        AppendCsvField(&row, SummaryText(machine, kPartFound));
        row.push_back(',');
        AppendCsvField(&row, SummaryText(machine, kPartFailures));
        row.push_back(',');
        row.append(std::to_string(machine.sweepFound));
        row.append("\r\n");
        WriteOut(out, row);
    }
}
