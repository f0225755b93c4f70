// The log's date and time line, "Wed Apr 03 09:05:03 2002" (weekday, month, day, time, year,
// the machine's local time), as ISO 8601 and as a day.
#include "report/report.h"

#include <cstring>

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// `count` digits at text[at]. RETURNS false when they are not digits.
bool Digits(const char* text, size_t at, size_t count, uint32_t* value)
{
    uint32_t number = 0;
    for (size_t index = 0; index < count; ++index) {
        char c = text[at + index];
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    *value = number;
    return true;
}

int IndexOfName(const char* text, const char* const* names, int count)
{
    for (int index = 0; index < count; ++index) {
        if (strncmp(text, names[index], 3) == 0) {
            return index;
        }
    }
    return -1;
}

uint32_t DaysInMonth(uint32_t year, uint32_t month)
{
    static const uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

void AppendTwo(std::string* out, uint32_t value)
{
    out->push_back(static_cast<char>('0' + value / 10 % 10));
    out->push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool ParseLogDate(const char* text, std::string* iso, uint32_t* day)
{
    // "Www Mmm DD HH:MM:SS " then a year of one to four digits, nothing after it.
    size_t length = strlen(text);
    if (length < 21 || length > 24 || text[3] != ' ' || text[7] != ' ' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':' || text[19] != ' ') {
        return false;
    }
    int month = IndexOfName(text + 4, kMonths, 12);
    uint32_t date = 0, hour = 0, minute = 0, second = 0, year = 0;
    if (IndexOfName(text, kWeekdays, 7) < 0 || month < 0 || !Digits(text, 8, 2, &date) ||
        !Digits(text, 11, 2, &hour) || !Digits(text, 14, 2, &minute) ||
        !Digits(text, 17, 2, &second) || !Digits(text, 20, length - 20, &year)) {
        return false;
    }
    uint32_t monthNumber = static_cast<uint32_t>(month) + 1;
    if (year == 0 || date == 0 || date > DaysInMonth(year, monthNumber) || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    iso->clear();
    AppendTwo(iso, year / 100);
    AppendTwo(iso, year % 100);
    iso->push_back('-');
    AppendTwo(iso, monthNumber);
    iso->push_back('-');
    AppendTwo(iso, date);
    iso->push_back('T');
    AppendTwo(iso, hour);
    iso->push_back(':');
    AppendTwo(iso, minute);
    iso->push_back(':');
    AppendTwo(iso, second);
    *day = year * 10000 + monthNumber * 100 + date;
    return true;
}
