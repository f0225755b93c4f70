// UTC time stamps: the run's record (ISO 8601) and the console file's name (compact form).
// Digits are composed here, not by the C runtime's formatting.
#include "unattended/unattended.h"

#include <windows.h>

namespace {

// Appends `value` as exactly `digits` decimal digits.
size_t PutDigits(char* out, size_t at, uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        out[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + static_cast<size_t>(digits);
}

// The ISO form separates the date's and the time's parts; the compact form does not.
void Format(const UtcTime& time, char* out, size_t size, bool iso)
{
    if (out == nullptr || size == 0) {
        return;
    }
    if (size < kUtcTextSize) {
        out[0] = '\0';
        return;
    }
    size_t at = PutDigits(out, 0, time.year, 4);
    if (iso) out[at++] = '-';
    at = PutDigits(out, at, time.month, 2);
    if (iso) out[at++] = '-';
    at = PutDigits(out, at, time.day, 2);
    out[at++] = 'T';
    at = PutDigits(out, at, time.hour, 2);
    if (iso) out[at++] = ':';
    at = PutDigits(out, at, time.minute, 2);
    if (iso) out[at++] = ':';
    at = PutDigits(out, at, time.second, 2);
    out[at++] = 'Z';
    out[at] = '\0';
}

}  // namespace

UtcTime CurrentUtcTime()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    return UtcTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

void FormatIsoUtc(const UtcTime& time, char* out, size_t size)
{
    Format(time, out, size, true);
}

void FormatCompactUtc(const UtcTime& time, char* out, size_t size)
{
    Format(time, out, size, false);
}
