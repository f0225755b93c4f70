// The runs per day by outcome as an inline SVG chart: one stacked bar a day (the latest
// kChartDays days with runs), its figures in each segment's title, the day's total above it.
// Drawn by the page itself: no script, nothing loaded.
#include "report/report.h"

#include <algorithm>
#include <vector>

namespace {

const char* const kOutcomeColours[4] = {"#2e7d32", "#f9a825", "#e65100", "#b71c1c"};

std::string DayText(uint32_t day)
{
    char text[11];
    uint32_t year = day / 10000, month = day / 100 % 100, date = day % 100;
    text[0] = static_cast<char>('0' + year / 1000 % 10);
    text[1] = static_cast<char>('0' + year / 100 % 10);
    text[2] = static_cast<char>('0' + year / 10 % 10);
    text[3] = static_cast<char>('0' + year % 10);
    text[4] = '-';
    text[5] = static_cast<char>('0' + month / 10);
    text[6] = static_cast<char>('0' + month % 10);
    text[7] = '-';
    text[8] = static_cast<char>('0' + date / 10);
    text[9] = static_cast<char>('0' + date % 10);
    text[10] = '\0';
    return text;
}

std::string Number(uint64_t value)
{
    return std::to_string(value);
}

// Pixels with one decimal, as SVG takes them.
std::string Pixels(double value)
{
    long tenths = static_cast<long>(value * 10 + (value < 0 ? -0.5 : 0.5));
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += "." + std::to_string(tenths % 10 < 0 ? -(tenths % 10) : tenths % 10);
    }
    return text;
}

}  // namespace

std::string DayChartSvg(const std::map<uint32_t, DayCount>& days)
{
    if (days.empty()) {
        return std::string();
    }
    std::vector<std::pair<uint32_t, DayCount>> shown(days.begin(), days.end());
    if (shown.size() > kChartDays) {
        shown.erase(shown.begin(), shown.end() - static_cast<long>(kChartDays));
    }
    uint64_t highest = 1;
    for (const auto& day : shown) {
        uint64_t total = 0;
        for (uint64_t count : day.second.byOutcome) {
            total += count;
        }
        highest = std::max(highest, total);
    }
    const double left = 48, top = 40, plot = 220, bottom = 56;
    const double slot = std::max(16.0, std::min(48.0, 900.0 / static_cast<double>(shown.size())));
    const double legendWidth = 4 * 110;
    const double width =
        std::max(left + legendWidth, left + slot * static_cast<double>(shown.size()) + 16);
    const double height = top + plot + bottom;
    std::string svg;
    svg += "<svg class=\"chart\" role=\"img\" width=\"" + Pixels(width) + "\" height=\"" +
           Pixels(height) + "\" viewBox=\"0 0 " + Pixels(width) + " " + Pixels(height) +
           "\" aria-label=\"Runs per day by outcome\">\n";
    // Legend.
    double x = left;
    for (uint32_t outcome = 0; outcome < 4; ++outcome) {
        svg += "<rect x=\"" + Pixels(x) + "\" y=\"10\" width=\"12\" height=\"12\" fill=\"" +
               kOutcomeColours[outcome] + "\"/><text x=\"" + Pixels(x + 16) + "\" y=\"21\">" +
               OutcomeName(static_cast<RunOutcome>(outcome)) + "</text>\n";
        x += 110;
    }
    // The value axis: 0, half and the highest day.
    for (uint64_t tick : {uint64_t{0}, highest / 2, highest}) {
        if (tick == 0 && highest == 0) {
            continue;
        }
        double y = top + plot - plot * static_cast<double>(tick) / static_cast<double>(highest);
        svg += "<line x1=\"" + Pixels(left - 4) + "\" y1=\"" + Pixels(y) + "\" x2=\"" +
               Pixels(width - 8) + "\" y2=\"" + Pixels(y) + "\" class=\"grid\"/><text x=\"" +
               Pixels(left - 8) + "\" y=\"" + Pixels(y + 4) + "\" text-anchor=\"end\">" +
               Number(tick) + "</text>\n";
    }
    // One label every few days, so that they never overlap.
    size_t labelEvery = static_cast<size_t>(std::max(1.0, 80.0 / slot));
    for (size_t index = 0; index < shown.size(); ++index) {
        const uint32_t day = shown[index].first;
        const DayCount& count = shown[index].second;
        double barX = left + slot * static_cast<double>(index) + slot * 0.15;
        double barWidth = slot * 0.7;
        double y = top + plot;
        uint64_t total = 0;
        for (uint32_t outcome = 0; outcome < 4; ++outcome) {
            uint64_t runs = count.byOutcome[outcome];
            total += runs;
            if (runs == 0) {
                continue;
            }
            double barHeight = plot * static_cast<double>(runs) / static_cast<double>(highest);
            y -= barHeight;
            svg += "<rect x=\"" + Pixels(barX) + "\" y=\"" + Pixels(y) + "\" width=\"" +
                   Pixels(barWidth) + "\" height=\"" + Pixels(barHeight) + "\" fill=\"" +
                   kOutcomeColours[outcome] + "\"><title>" + DayText(day) + ": " + Number(runs) +
                   " " + OutcomeName(static_cast<RunOutcome>(outcome)) + "</title></rect>\n";
        }
        svg += "<text x=\"" + Pixels(barX + barWidth / 2) + "\" y=\"" + Pixels(y - 4) +
               "\" text-anchor=\"middle\" class=\"total\">" + Number(total) + "</text>\n";
        if (index % labelEvery == 0) {
            double labelX = barX + barWidth / 2;
            double labelY = top + plot + 14;
            svg += "<text x=\"" + Pixels(labelX) + "\" y=\"" + Pixels(labelY) +
                   "\" text-anchor=\"end\" transform=\"rotate(-40 " + Pixels(labelX) + " " +
                   Pixels(labelY) + ")\">" + DayText(day) + "</text>\n";
        }
    }
    svg += "<line x1=\"" + Pixels(left - 4) + "\" y1=\"" + Pixels(top + plot) + "\" x2=\"" +
           Pixels(width - 8) + "\" y2=\"" + Pixels(top + plot) + "\" class=\"axis\"/>\n</svg>\n";
    return svg;
}
