#include "run/run.h"

#include <cstring>

bool CopyText(char* out, size_t size, const char* text)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    out[0] = '\0';
    return AppendText(out, size, text);
}

bool AppendText(char* out, size_t size, const char* text)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    size_t used = strnlen(out, size);
    if (used >= size) {          // not terminated within its buffer: end it at the last byte
        out[size - 1] = '\0';
        return false;
    }
    if (text == nullptr) {
        return true;
    }
    size_t length = strlen(text);
    size_t room = size - 1 - used;
    size_t taken = length <= room ? length : room;
    memcpy(out + used, text, taken);
    out[used + taken] = '\0';
    return taken == length;
}

bool ComposeText(char* out, size_t size, const char* head, const char* argument, const char* tail)
{
    bool whole = CopyText(out, size, head);
    whole = AppendText(out, size, argument) && whole;
    whole = AppendText(out, size, tail) && whole;
    return whole;
}

bool AppendDecimal(char* out, size_t size, int32_t value, uint32_t minDigits)
{
    // Digits are taken from the magnitude as an unsigned number, so INT32_MIN needs no case.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[16] = {};   // ten digits at most, a sign, the terminator
    size_t at = sizeof(digits) - 1;
    uint32_t written = 0;
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        ++written;
    } while ((magnitude != 0 || written < minDigits) && at > 1);
    if (value < 0) {
        digits[--at] = '-';
    }
    return AppendText(out, size, digits + at);
}

bool AppendVersion(char* out, size_t size)
{
    int32_t hundredths = static_cast<int32_t>(kPurgekitVersion * 100.0 + 0.5);
    bool whole = AppendDecimal(out, size, hundredths / 100);
    whole = AppendText(out, size, ".") && whole;
    return AppendDecimal(out, size, hundredths % 100, 2) && whole;
}
