// One line of JSON Lines read as an object, strictly (RFC 8259) and within its bytes: the
// members of the top level kept, nested values checked. Recursion is bounded by
// kJsonMaxDepth, so no line can exhaust the stack.
#include "json/json.h"

#include <cstring>

namespace {

struct Cursor {
    const unsigned char* bytes;
    size_t size;
    size_t at;
    int32_t status;   // the first failure; kJsonOk while reading goes on
};

bool Fail(Cursor* cursor, int32_t status)
{
    if (cursor->status == kJsonOk) {
        cursor->status = status;
    }
    return false;
}

void SkipBlanks(Cursor* cursor)
{
    while (cursor->at < cursor->size) {
        unsigned char c = cursor->bytes[cursor->at];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return;
        }
        ++cursor->at;
    }
}

bool Peek(const Cursor& cursor, unsigned char expected)
{
    return cursor.at < cursor.size && cursor.bytes[cursor.at] == expected;
}

bool Take(Cursor* cursor, unsigned char expected)
{
    if (!Peek(*cursor, expected)) {
        return Fail(cursor, kJsonSyntax);
    }
    ++cursor->at;
    return true;
}

void AppendCodePoint(std::string* out, uint32_t code)
{
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Four hexadecimal digits after "\u".
bool ReadHexUnit(Cursor* cursor, uint32_t* unit)
{
    if (cursor->size - cursor->at < 4) {
        cursor->at = cursor->size;
        return Fail(cursor, kJsonSyntax);
    }
    uint32_t value = 0;
    for (size_t index = 0; index < 4; ++index) {
        unsigned char c = cursor->bytes[cursor->at];
        uint32_t digit = c >= '0' && c <= '9'   ? static_cast<uint32_t>(c - '0')
                         : c >= 'a' && c <= 'f' ? static_cast<uint32_t>(c - 'a' + 10)
                         : c >= 'A' && c <= 'F' ? static_cast<uint32_t>(c - 'A' + 10)
                                                : 16u;
        if (digit == 16) {
            return Fail(cursor, kJsonSyntax);
        }
        value = (value << 4) | digit;
        ++cursor->at;
    }
    *unit = value;
    return true;
}

// "\u" and what follows it (the backslash and the u already taken).
bool ReadUnicodeEscape(Cursor* cursor, std::string* out)
{
    uint32_t unit = 0;
    if (!ReadHexUnit(cursor, &unit)) {
        return false;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF && cursor->size - cursor->at >= 6 &&
        cursor->bytes[cursor->at] == '\\' && cursor->bytes[cursor->at + 1] == 'u') {
        Cursor look = *cursor;
        look.at += 2;
        uint32_t low = 0;
        if (ReadHexUnit(&look, &low) && low >= 0xDC00 && low <= 0xDFFF) {
            cursor->at = look.at;
            AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            return true;
        }
        if (look.status != kJsonOk) {
            cursor->at = look.at;
            return Fail(cursor, look.status);
        }
    }
    if (unit >= 0xDC80 && unit <= 0xDCFF) {
        out->push_back(static_cast<char>(unit - 0xDC00));   // a byte that was not UTF-8
        return true;
    }
    AppendCodePoint(out, unit);   // a lone surrogate too, as its three bytes
    return true;
}

// A string, its opening quote next; decoded into *out (nullptr: checked only).
bool ReadString(Cursor* cursor, std::string* out)
{
    if (!Take(cursor, '"')) {
        return false;
    }
    std::string scratch;
    std::string* into = out != nullptr ? out : &scratch;
    into->clear();
    while (cursor->at < cursor->size) {
        unsigned char c = cursor->bytes[cursor->at];
        if (c == '"') {
            ++cursor->at;
            return true;
        }
        if (c < 0x20) {
            return Fail(cursor, kJsonSyntax);
        }
        if (c >= 0x80) {
            size_t length = ValidUtf8Length(cursor->bytes + cursor->at, cursor->size - cursor->at);
            if (length == 0) {
                return Fail(cursor, kJsonNotUtf8);
            }
            into->append(reinterpret_cast<const char*>(cursor->bytes + cursor->at), length);
            cursor->at += length;
            continue;
        }
        ++cursor->at;
        if (c != '\\') {
            into->push_back(static_cast<char>(c));
            continue;
        }
        if (cursor->at >= cursor->size) {
            break;
        }
        unsigned char escape = cursor->bytes[cursor->at++];
        static const char kEscapes[] = "\"\\/bfnrt";
        static const char kMeanings[] = "\"\\/\b\f\n\r\t";
        const char* known = escape != 0 ? strchr(kEscapes, escape) : nullptr;
        if (known != nullptr) {
            into->push_back(kMeanings[known - kEscapes]);
        } else if (escape == 'u') {
            if (!ReadUnicodeEscape(cursor, into)) {
                return false;
            }
        } else {
            --cursor->at;
            return Fail(cursor, kJsonSyntax);
        }
    }
    return Fail(cursor, kJsonSyntax);   // the line ended inside the string
}

bool IsDigit(const Cursor& cursor)
{
    return cursor.at < cursor.size && cursor.bytes[cursor.at] >= '0' &&
           cursor.bytes[cursor.at] <= '9';
}

bool ReadDigits(Cursor* cursor)
{
    if (!IsDigit(*cursor)) {
        return Fail(cursor, kJsonSyntax);
    }
    while (IsDigit(*cursor)) {
        ++cursor->at;
    }
    return true;
}

bool ReadNumber(Cursor* cursor, std::string* literal)
{
    size_t start = cursor->at;
    if (Peek(*cursor, '-')) {
        ++cursor->at;
    }
    if (Peek(*cursor, '0')) {
        ++cursor->at;
    } else if (!ReadDigits(cursor)) {
        return false;
    }
    if (Peek(*cursor, '.')) {
        ++cursor->at;
        if (!ReadDigits(cursor)) {
            return false;
        }
    }
    if (Peek(*cursor, 'e') || Peek(*cursor, 'E')) {
        ++cursor->at;
        if (Peek(*cursor, '+') || Peek(*cursor, '-')) {
            ++cursor->at;
        }
        if (!ReadDigits(cursor)) {
            return false;
        }
    }
    if (literal != nullptr) {
        literal->assign(reinterpret_cast<const char*>(cursor->bytes + start), cursor->at - start);
    }
    return true;
}

bool ReadWord(Cursor* cursor, const char* word)
{
    size_t length = strlen(word);
    if (cursor->size - cursor->at < length ||
        memcmp(cursor->bytes + cursor->at, word, length) != 0) {
        return Fail(cursor, kJsonSyntax);
    }
    cursor->at += length;
    return true;
}

bool ReadValue(Cursor* cursor, size_t depth, JsonMember* member);

// An array or an object, its opening bracket next; `member` (top level only) keeps the
// array's strings.
bool ReadContainer(Cursor* cursor, size_t depth, bool object, JsonMember* member)
{
    if (depth >= kJsonMaxDepth) {
        return Fail(cursor, kJsonTooDeep);
    }
    ++cursor->at;
    SkipBlanks(cursor);
    const unsigned char close = object ? '}' : ']';
    if (Peek(*cursor, close)) {
        ++cursor->at;
        return true;
    }
    JsonMember item;
    for (;;) {
        SkipBlanks(cursor);
        if (object) {
            if (!ReadString(cursor, nullptr)) {
                return false;
            }
            SkipBlanks(cursor);
            if (!Take(cursor, ':')) {
                return false;
            }
            SkipBlanks(cursor);
        }
        if (!ReadValue(cursor, depth + 1, member != nullptr ? &item : nullptr)) {
            return false;
        }
        if (member != nullptr && item.kind == JsonKind::kString) {
            member->strings.push_back(std::move(item.text));
        }
        SkipBlanks(cursor);
        if (Peek(*cursor, close)) {
            ++cursor->at;
            return true;
        }
        if (!Take(cursor, ',')) {
            return false;
        }
    }
}

// Any value; with `member`, its kind and its text are kept there.
bool ReadValue(Cursor* cursor, size_t depth, JsonMember* member)
{
    if (cursor->at >= cursor->size) {
        return Fail(cursor, kJsonSyntax);
    }
    unsigned char c = cursor->bytes[cursor->at];
    std::string* text = member != nullptr ? &member->text : nullptr;
    JsonKind kind = JsonKind::kNull;
    bool read = false;
    if (member != nullptr) {
        member->text.clear();
        member->strings.clear();
    }
    switch (c) {
    case '"': kind = JsonKind::kString; read = ReadString(cursor, text); break;
    case '{': kind = JsonKind::kObject; read = ReadContainer(cursor, depth, true, nullptr); break;
    case '[': kind = JsonKind::kArray; read = ReadContainer(cursor, depth, false, member); break;
    case 't': kind = JsonKind::kTrue; read = ReadWord(cursor, "true"); break;
    case 'f': kind = JsonKind::kFalse; read = ReadWord(cursor, "false"); break;
    case 'n': kind = JsonKind::kNull; read = ReadWord(cursor, "null"); break;
    default:
        if (c == '-' || (c >= '0' && c <= '9')) {
            kind = JsonKind::kNumber;
            read = ReadNumber(cursor, text);
        } else {
            Fail(cursor, c >= 0x80 && ValidUtf8Length(cursor->bytes + cursor->at,
                                                      cursor->size - cursor->at) == 0
                             ? kJsonNotUtf8
                             : kJsonSyntax);
        }
    }
    if (member != nullptr) {
        member->kind = kind;
    }
    return read;
}

}  // namespace

int32_t ReadJsonObject(const char* bytes, size_t size, std::vector<JsonMember>* members,
                       size_t* errorOffset)
{
    Cursor cursor{reinterpret_cast<const unsigned char*>(bytes), size, 0, kJsonOk};
    members->clear();
    *errorOffset = 0;
    SkipBlanks(&cursor);
    if (cursor.at >= cursor.size) {
        return kJsonEmpty;
    }
    if (!Peek(cursor, '{')) {
        *errorOffset = cursor.at;
        return kJsonNotObject;
    }
    ++cursor.at;
    SkipBlanks(&cursor);
    bool read = true;
    if (Peek(cursor, '}')) {
        ++cursor.at;
    } else {
        for (;;) {
            SkipBlanks(&cursor);
            JsonMember member;
            read = ReadString(&cursor, &member.name);
            SkipBlanks(&cursor);
            read = read && Take(&cursor, ':');
            SkipBlanks(&cursor);
            read = read && ReadValue(&cursor, 1, &member);
            if (!read) {
                break;
            }
            members->push_back(std::move(member));
            SkipBlanks(&cursor);
            if (Peek(cursor, '}')) {
                ++cursor.at;
                break;
            }
            if (!Take(&cursor, ',')) {
                read = false;
                break;
            }
        }
    }
    if (read) {
        SkipBlanks(&cursor);
        if (cursor.at != cursor.size) {
            Fail(&cursor, kJsonSyntax);
        }
    }
    if (cursor.status != kJsonOk) {
        *errorOffset = cursor.at;
        members->clear();
        return cursor.status;
    }
    return kJsonOk;
}

const char* JsonStatusText(int32_t status)
{
    switch (status) {
    case kJsonOk: return "valid";
    case kJsonEmpty: return "empty line";
    case kJsonNotObject: return "not a JSON object";
    case kJsonNotUtf8: return "not UTF-8";
    case kJsonTooDeep: return "nested too deep";
    default: return "not JSON";
    }
}

const JsonMember* FindJsonMember(const std::vector<JsonMember>& members, const char* name)
{
    for (const JsonMember& member : members) {
        if (member.name == name) {
            return &member;
        }
    }
    return nullptr;
}

bool JsonInteger(const JsonMember& member, int64_t* value)
{
    if (member.kind != JsonKind::kNumber) {
        return false;
    }
    const std::string& text = member.text;
    size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (at >= text.size() || text.size() - at > 19) {
        return false;
    }
    uint64_t magnitude = 0;
    for (size_t index = at; index < text.size(); ++index) {
        if (text[index] < '0' || text[index] > '9') {
            return false;   // a fraction or an exponent
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[index] - '0');
    }
    const uint64_t limit = at == 1 ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
    if (magnitude > limit) {
        return false;
    }
    *value = at == 1 ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}
