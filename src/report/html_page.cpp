// report.html: one self-contained page. Its styles are inline, its chart is inline SVG, it has
// no script and loads nothing (its Content-Security-Policy forbids both), so it reads the same
// on a network that is cut off and with JavaScript off. Every text from the results is
// escaped (output_text.cpp).
#include "report/report.h"

namespace {

const char kHead[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "style-src 'unsafe-inline'\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>PURGEKIT outbreak report</title>\n<style>\n"
    "body{font:14px/1.45 \"Segoe UI\",Arial,Helvetica,sans-serif;margin:24px 32px;color:#1f1f1f;"
    "background:#fff}\n"
    "h1{font-size:24px;margin:0 0 4px}h2{font-size:18px;margin:32px 0 8px}\n"
    ".meta{color:#555;margin:0 0 16px}.meta code{font-size:13px}\n"
    ".totals{display:flex;flex-wrap:wrap;gap:12px;margin:16px 0}\n"
    ".total{border:1px solid #d0d0d0;border-left:8px solid #999;border-radius:4px;"
    "padding:8px 16px;min-width:150px}\n"
    ".total b{display:block;font-size:30px;line-height:1.1}.total span{font-weight:600}\n"
    ".total small{display:block;color:#555;max-width:220px}\n"
    ".total.attention{border-left-color:#c62828}.total.no-run{border-left-color:#6d4c41}\n"
    ".total.second-run{border-left-color:#f9a825}.total.clean{border-left-color:#2e7d32}\n"
    "table{border-collapse:collapse;width:100%;font-size:13px}\n"
    "th,td{border-bottom:1px solid #e0e0e0;padding:5px 8px;text-align:left;vertical-align:top}\n"
    "th{background:#f2f2f2;border-bottom:2px solid #c8c8c8}\n"
    "td.n{text-align:right;white-space:nowrap}td.name{font-weight:600}\n"
    ".status{font-weight:600;white-space:nowrap;padding:1px 6px;border-radius:3px}\n"
    ".st-attention{background:#fdecea;color:#b71c1c}.st-no-run{background:#efebe9;color:#4e342e}\n"
    ".st-second-run{background:#fff8e1;color:#7a5c00}.st-clean{background:#e8f5e9;color:#1b5e20}\n"
    "tr.m-attention td{background:#fffafa}\n"
    ".path{font-family:Consolas,\"DejaVu Sans Mono\",monospace;word-break:break-all}\n"
    ".byte{font-family:monospace;background:#eee;border:1px solid #bbb;border-radius:2px;"
    "padding:0 1px;color:#6a1b9a}\n"
    ".note{color:#555}.empty{color:#777;font-style:italic}\n"
    ".chart text{font-size:11px;fill:#333}.chart .total{font-weight:600}\n"
    ".chart .grid{stroke:#e4e4e4}.chart .axis{stroke:#888}\n"
    "ul.problems{font-family:Consolas,\"DejaVu Sans Mono\",monospace;font-size:12px}\n"
    "</style>\n</head>\n<body>\n";

const char* const kStatusMeanings[kStatusCount] = {
    "a removal failed, a run was cut short or failed, or an input could not be read",
    "no run of the cleaner in its folder",
    "found and removed everything: reboot and run the cleaner again",
    "found nothing",
};

std::string Number(uint64_t value)
{
    return std::to_string(value);
}

void AppendCell(std::string* out, const char* classes, const std::string& text)
{
    out->append(classes[0] != '\0' ? std::string("<td class=\"") + classes + "\">"
                                   : std::string("<td>"));
    AppendHtmlText(out, text);
    out->append("</td>");
}

void AppendTotals(std::string* out, const Report& report)
{
    out->append("<div class=\"totals\" id=\"totals\">\n");
    for (uint32_t status = 0; status < kStatusCount; ++status) {
        const char* name = StatusName(static_cast<MachineStatus>(status));
        out->append("<div class=\"total ");
        out->append(name);
        out->append("\" id=\"total-");
        out->append(name);
        out->append("\"><b>" + Number(report.totals.byStatus[status]) + "</b><span>" + name +
                    "</span><small>" + kStatusMeanings[status] + "</small></div>\n");
    }
    out->append("</div>\n");
}

void AppendMachines(std::string* out, const Report& report, OutFile* file)
{
    out->append("<h2>Machines</h2>\n<table id=\"machines\">\n<thead><tr><th>Machine</th>"
                "<th>Platform</th><th>Status</th><th>Runs</th><th>Last run</th><th>Found</th>"
                "<th>Failed</th></tr></thead>\n<tbody>\n");
    if (report.machines.empty()) {
        out->append("<tr><td colspan=\"7\" class=\"empty\">No machine folders.</td></tr>\n");
    }
    for (uint32_t index : MachineOrder(report)) {
        const MachineSummary& machine = report.machines[index];
        const char* status = StatusName(machine.status);
        out->append(std::string("<tr class=\"m-") + status + "\">");
        AppendCell(out, "name", SummaryText(machine, kPartName));
        AppendCell(out, "", SummaryText(machine, kPartPlatform));
        out->append(std::string("<td><span class=\"status st-") + status + "\">" + status +
                    "</span></td>");
        out->append("<td class=\"n\">" + Number(machine.runs) + "</td>");
        AppendCell(out, "n", SummaryText(machine, kPartLastRun));
        std::string found = SummaryText(machine, kPartFound);
        if (machine.sweepFound > 0) {
            found +=
                (found.empty() ? "" : "; ") + Number(machine.sweepFound) +
                (machine.sweepFound == 1 ? " dormant copy (sweep)" : " dormant copies (sweep)");
        }
        AppendCell(out, "", found);
        AppendCell(out, "", SummaryText(machine, kPartFailures));
        out->append("</tr>\n");
        if (out->size() >= kOutBufferSize) {
            WriteOut(file, *out);
            out->clear();
        }
    }
    out->append("</tbody>\n</table>\n");
}

void AppendCopies(std::string* out, const Report& report)
{
    out->append("<h2>Dormant copies found by the sweeps</h2>\n<table id=\"copies\">\n<thead><tr>"
                "<th>Machine</th><th>Path</th><th>Variants</th><th>Action</th>"
                "<th>Quarantine name</th></tr></thead>\n<tbody>\n");
    if (report.copies.empty()) {
        out->append("<tr><td colspan=\"5\" class=\"empty\">None found.</td></tr>\n");
    }
    for (const CopyRow& row : report.copies) {
        out->append("<tr>");
        AppendCell(out, "name", row.machine);
        AppendCell(out, "path", row.path);
        AppendCell(out, "", row.variants);
        AppendCell(out, "", row.action);
        AppendCell(out, "path", row.quarantine);
        out->append("</tr>\n");
    }
    out->append("</tbody>\n</table>\n");
    if (report.totals.copies > report.copies.size()) {
        out->append("<p class=\"note\">The first " + Number(report.copies.size()) + " of " +
                    Number(report.totals.copies) +
                    " are shown; findings.jsonl holds them all.</p>\n");
    }
}

void AppendChart(std::string* out, const Report& report)
{
    out->append("<h2>Runs per day by outcome</h2>\n");
    std::string svg = DayChartSvg(report.days);
    if (svg.empty()) {
        out->append("<p class=\"empty\">No run with a date.</p>\n");
    } else {
        out->append("<figure id=\"chart\">\n" + svg + "</figure>\n");
    }
    std::string notes;
    if (report.days.size() > kChartDays) {
        notes += "The latest " + Number(kChartDays) + " of " + Number(report.days.size()) +
                 " days with runs are drawn. ";
    }
    if (report.totals.runsWithoutDay > 0) {
        notes += Number(report.totals.runsWithoutDay) + " runs have no date line that is a date. ";
    }
    if (report.totals.runsOnOtherDays > 0) {
        notes += Number(report.totals.runsOnOtherDays) + " runs fall on days beyond the first " +
                 Number(kDaysKept) + " counted. ";
    }
    out->append("<p class=\"note\">Days as the machines' clocks gave them (the log's date line). " +
                notes + "</p>\n");
}

void AppendProblems(std::string* out, const Report& report)
{
    out->append("<h2>Inputs not read as expected</h2>\n");
    if (report.problems.empty()) {
        out->append("<p class=\"empty\">None.</p>\n");
        return;
    }
    out->append("<ul class=\"problems\" id=\"problems\">\n");
    for (const std::string& problem : report.problems) {
        out->append("<li>");
        AppendHtmlText(out, problem);
        out->append("</li>\n");
    }
    out->append("</ul>\n");
    if (report.totals.problems > report.problems.size()) {
        out->append("<p class=\"note\">The first " + Number(report.problems.size()) + " of " +
                    Number(report.totals.problems) +
                    " are shown; standard error had them all.</p>\n");
    }
}

}  // namespace

void WriteHtmlReport(const Report& report, OutFile* file)
{
    std::string out = kHead;
    const ReportTotals& totals = report.totals;
    out.append("<h1>PURGEKIT outbreak report</h1>\n<p class=\"meta\">Written ");
    AppendHtmlText(&out, report.writtenAt);
    out.append(" (UTC) from ");
    for (size_t index = 0; index < report.options->resultsFolders.size(); ++index) {
        out.append(index == 0 ? "<code>" : ", <code>");
        AppendHtmlText(&out, report.options->resultsFolders[index]);
        out.append("</code>");
    }
    out.append(". Machines: " + Number(report.machines.size()) + "; runs of the cleaner: " +
               Number(totals.runs) + "; unattended runs recorded: " + Number(totals.launches) +
               "; dormant copies found by sweeps: " + Number(totals.copies) + ".</p>\n");
    AppendTotals(&out, report);
    AppendMachines(&out, report, file);
    AppendCopies(&out, report);
    AppendChart(&out, report);
    AppendProblems(&out, report);
    out.append("</body>\n</html>\n");
    WriteOut(file, out);
}
