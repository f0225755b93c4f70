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
