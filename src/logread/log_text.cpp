#include "logread/log_text.h"

#include <cstring>

namespace {

TextSpan SpanOf(const char* text, size_t length)
{
    return TextSpan{text, length};
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SpanEquals(TextSpan text, TextSpan expected)
{
    return text.length == expected.length && memcmp(text.bytes, expected.bytes, text.length) == 0;
}

bool SpanStartsWith(TextSpan text, TextSpan head)
{
    return head.length <= text.length && memcmp(text.bytes, head.bytes, head.length) == 0;
}

bool SpanEndsWith(TextSpan text, TextSpan tail)
{
    return tail.length <= text.length &&
           memcmp(text.bytes + text.length - tail.length, tail.bytes, tail.length) == 0;
}

TextSpan DropHead(TextSpan text, size_t count)
{
    return count <= text.length ? SpanOf(text.bytes + count, text.length - count)
                                : SpanOf(text.bytes + text.length, 0);
}

TextSpan DropTail(TextSpan text, size_t count)
{
    return SpanOf(text.bytes, count <= text.length ? text.length - count : 0);
}

bool SpanEqualsIgnoringCase(TextSpan text, const char* name)
{
    size_t length = strlen(name);
    if (text.length != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(text.bytes[i]) != LowerAscii(name[i])) {
            return false;
        }
    }
    return true;
}

void CopySpan(TextSpan text, char* out, size_t size)
{
    if (size == 0) {
        return;
    }
    const void* nul = memchr(text.bytes, '\0', text.length);
    size_t length = nul == nullptr
                        ? text.length
                        : static_cast<size_t>(static_cast<const char*>(nul) - text.bytes);
    static const char kEllipsis[] = "...";
    if (length < size) {
        memcpy(out, text.bytes, length);
        out[length] = '\0';
        return;
    }
    if (size <= sizeof(kEllipsis)) {
        out[0] = '\0';
        return;
    }
    size_t kept = size - sizeof(kEllipsis);
    memcpy(out, text.bytes, kept);
    memcpy(out + kept, kEllipsis, sizeof(kEllipsis));
}
