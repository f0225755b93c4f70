// JSON strings from path bytes of any kind: valid UTF-8 passes unchanged, so readers see
// the names they expect; each byte of an invalid sequence becomes U+DC00 + the byte
// (Python's surrogateescape), so the original bytes can be had back.
#include "json/json_escape.h"

#include "json/json.h"

#include <cstddef>
#include <cstdint>

namespace {

const char kHex[] = "0123456789abcdef";

void PutUnicodeEscape(JsonPut put, void* context, uint32_t unit)
{
    char escape[6] = {'\\', 'u'};
    for (int digit = 0; digit < 4; ++digit) {
        escape[2 + digit] = kHex[(unit >> (12 - 4 * digit)) & 0xF];
    }
    put(context, escape, sizeof(escape));
}

void PutText(JsonPut put, void* context, const char* text)
{
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    put(context, text, length);
}

}  // namespace

size_t ValidUtf8Length(const unsigned char* bytes, size_t have)
{
    unsigned char lead = bytes[0];
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length > have || bytes[1] < low || bytes[1] > high) {
        return 0;
    }
    for (size_t index = 2; index < length; ++index) {
        if (bytes[index] < 0x80 || bytes[index] > 0xBF) {
            return 0;
        }
    }
    return length;
}

void EscapeJsonString(const char* text, size_t size, JsonPut put, void* context)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    put(context, "\"", 1);
    for (size_t at = 0; at < size;) {
        unsigned char c = bytes[at];
        if (c >= 0x80) {
            size_t length = ValidUtf8Length(bytes + at, size - at);
            if (length == 0) {
                PutUnicodeEscape(put, context, 0xDC00u + c);
                ++at;
            } else {
                put(context, text + at, length);
                at += length;
            }
            continue;
        }
        switch (c) {
        case '"': PutText(put, context, "\\\""); break;
        case '\\': PutText(put, context, "\\\\"); break;
        case '\n': PutText(put, context, "\\n"); break;
        case '\t': PutText(put, context, "\\t"); break;
        case '\r': PutText(put, context, "\\r"); break;
        case '\b': PutText(put, context, "\\b"); break;
        case '\f': PutText(put, context, "\\f"); break;
        default:
            if (c < 0x20 || c == 0x7F) {
                PutUnicodeEscape(put, context, c);
            } else {
                put(context, text + at, 1);
            }
        }
        ++at;
    }
    put(context, "\"", 1);
}
