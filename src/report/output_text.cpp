// Text as CSV fields and as HTML text. CSV keeps every byte as it is (RFC 4180 quoting only),
// so a field is exactly what the results said; HTML can show no byte that is not valid UTF-8
// and must never take text for markup, so such bytes are shown as marked "\xNN" (and so are
// the characters that would hide or reorder what a name says).
#include "report/report.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendByteMarker(std::string* out, unsigned char byte)
{
    out->append("<span class=\"byte\" title=\"a byte shown by its value\">\\x");
    out->push_back(kHex[byte >> 4]);
    out->push_back(kHex[byte & 0xF]);
    out->append("</span>");
}

// C1 controls (U+0080 to U+009F) and the marks that reorder text (U+202A to U+202E, U+2066 to
// U+2069): valid UTF-8, but a name holding them would not read as what it is.
bool IsHiddenCharacter(const unsigned char* text, size_t length)
{
    if (length == 2) {
        return text[0] == 0xC2 && text[1] < 0xA0;
    }
    return length == 3 && text[0] == 0xE2 &&
           ((text[1] == 0x80 && text[2] >= 0xAA && text[2] <= 0xAE) ||
            (text[1] == 0x81 && text[2] >= 0xA6 && text[2] <= 0xA9));
}

}  // namespace

void AppendCsvField(std::string* out, const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out->append(text);
        return;
    }
    out->push_back('"');
    for (char c : text) {
        if (c == '"') {
            out->push_back('"');
        }
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendHtmlText(std::string* out, const char* bytes, size_t size)
{
    const unsigned char* text = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t at = 0; at < size;) {
        unsigned char c = text[at];
        if (c >= 0x80) {
            size_t length = ValidUtf8Length(text + at, size - at);
            if (length == 0) {
                AppendByteMarker(out, c);
                ++at;
            } else if (IsHiddenCharacter(text + at, length)) {
                for (size_t index = 0; index < length; ++index) {
                    AppendByteMarker(out, text[at + index]);
                }
                at += length;
            } else {
                out->append(bytes + at, length);
                at += length;
            }
            continue;
        }
        switch (c) {
        case '&': out->append("&amp;"); break;
        case '<': out->append("&lt;"); break;
        case '>': out->append("&gt;"); break;
        case '"': out->append("&quot;"); break;
        case '\'': out->append("&#39;"); break;
        default:
            if ((c < 0x20 && c != '\t') || c == 0x7F) {
                AppendByteMarker(out, c);
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
        ++at;
    }
}

void AppendHtmlText(std::string* out, const std::string& text)
{
    AppendHtmlText(out, text.data(), text.size());
}
