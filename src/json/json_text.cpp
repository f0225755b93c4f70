// JSON strings from path bytes of any kind: valid UTF-8 passes unchanged, so readers see
// the names they expect; each byte of an invalid sequence becomes U+DC00 + the byte
// (Python's surrogateescape), so the original bytes can be had back.
#include "json/json.h"

#include <cstddef>
#include <cstdint>

namespace {

const char kHex[] = "0123456789abcdef";

void AppendUnicodeEscape(std::string* out, uint32_t unit)
{
    out->append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) {
        out->push_back(kHex[(unit >> shift) & 0xF]);
    }
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

void AppendJsonString(std::string* out, const std::string& text)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    out->push_back('"');
    for (size_t at = 0; at < size;) {
        unsigned char c = bytes[at];
        if (c >= 0x80) {
            size_t length = ValidUtf8Length(bytes + at, size - at);
            if (length == 0) {
                AppendUnicodeEscape(out, 0xDC00u + c);
                ++at;
            } else {
                out->append(text, at, length);
                at += length;
            }
            continue;
        }
        switch (c) {
        case '"': out->append("\\\""); break;
        case '\\': out->append("\\\\"); break;
        case '\n': out->append("\\n"); break;
        case '\t': out->append("\\t"); break;
        case '\r': out->append("\\r"); break;
        case '\b': out->append("\\b"); break;
        case '\f': out->append("\\f"); break;
        default:
            if (c < 0x20 || c == 0x7F) {
                AppendUnicodeEscape(out, c);
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
        ++at;
    }
    out->push_back('"');
}
