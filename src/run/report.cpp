// The log is opened anew for every message, appended to in text mode (each "\n" stored as
// CR LF), and closed at once, so an interrupted run leaves a complete log.
#include "messages/messages.h"
#include "run/run.h"

#include <windows.h>

#include <cstdio>

namespace {

const char* const kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char kUnknownName[] = "???";

FILE* OpenLog()
{
    return fopen(kLogFileName, "a");
}

}  // namespace

void LogWrite(const char* message)
{
    if (message == nullptr) {
        return;
    }
    FILE* log = OpenLog();
    if (log == nullptr) {
        return;
    }
    fputs(message, log);
    fclose(log);
}

void Report(const char* message)
{
    if (message == nullptr) {
        return;
    }
    LogWrite(message);
    ShowOnConsole(message);
}

void LogCount(int32_t number)
{
    FILE* log = OpenLog();
    if (log == nullptr) {
        return;
    }
    char text[32] = {};   // "%i Files"
    AppendDecimal(text, sizeof(text), number);
    AppendText(text, sizeof(text), kMsgCountTail);
    fputs(text, log);
    fclose(log);
    ShowOnConsole(text);
}

void LogDateTime()
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const char* weekday = now.wDayOfWeek < 7 ? kWeekdayNames[now.wDayOfWeek] : kUnknownName;
    const char* month =
        now.wMonth >= 1 && now.wMonth <= 12 ? kMonthNames[now.wMonth - 1] : kUnknownName;
    // "\nDate and Time: %s %s %02i %02i:%02i:%02i %i"
    char line[kPathSize] = {};
    ComposeText(line, sizeof(line), kMsgDateTimeHead, weekday, " ");
    AppendText(line, sizeof(line), month);
    AppendText(line, sizeof(line), " ");
    AppendDecimal(line, sizeof(line), now.wDay, 2);
    AppendText(line, sizeof(line), " ");
    AppendDecimal(line, sizeof(line), now.wHour, 2);
    AppendText(line, sizeof(line), ":");
    AppendDecimal(line, sizeof(line), now.wMinute, 2);
    AppendText(line, sizeof(line), ":");
    AppendDecimal(line, sizeof(line), now.wSecond, 2);
    AppendText(line, sizeof(line), " ");
    AppendDecimal(line, sizeof(line), now.wYear);
    LogWrite(line);
}
