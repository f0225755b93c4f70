// JSON text for the programs that write or read JSON Lines (the sweep, the unattended runs, the
// outbreak report). Plain C++ for Windows and Linux alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- Writing ------------------------------------------------------------------------------

// Appends `text` as a JSON string (with its quotes): valid UTF-8 kept, control characters
// as \n, \t, \uXXXX, and every byte that is not part of valid UTF-8 as "\udcXX" (Python's
// surrogateescape), so a reader gets the original bytes back.
void AppendJsonString(std::string* out, const std::string& text);

// The same into a fixed buffer: appends the `length` bytes of `text` as a JSON string to the
// NUL-terminated text in `out` (a buffer of `size` bytes). RETURNS false, `out` unchanged,
// when the string does not fit. For the programs built without the C++ library's strings.
bool AppendJsonStringTo(char* out, size_t size, const char* text, size_t length);

// The length of the valid UTF-8 sequence that begins at `bytes` (`have` bytes there, at least
// one), or 0 when none does: no overlong forms, no encoded surrogates, nothing above U+10FFFF.
// A byte below 0x80 is a sequence of 1.
size_t ValidUtf8Length(const unsigned char* bytes, size_t have);

// ---- Reading one line of JSON Lines ----------------------------------------------------------
// Lines come from files that other machines wrote: any bytes are accepted and nothing is read
// past `size`; the caller bounds the line, and with it everything the reading keeps.

enum class JsonKind : uint8_t { kNull, kFalse, kTrue, kNumber, kString, kArray, kObject };

struct JsonMember {
    std::string name;                   // decoded like a string value
    JsonKind kind;
    std::string text;                   // kString: the decoded bytes; kNumber: the literal
    std::vector<std::string> strings;   // kArray: its string items in order (others checked only)
};

constexpr int32_t kJsonOk = 0;
constexpr int32_t kJsonEmpty = -1;       // nothing but blanks
constexpr int32_t kJsonNotObject = -2;   // the line does not begin with an object
constexpr int32_t kJsonSyntax = -3;      // not JSON, or something after the object
constexpr int32_t kJsonNotUtf8 = -4;     // a byte that is not part of valid UTF-8
constexpr int32_t kJsonTooDeep = -5;     // arrays and objects nested deeper than kJsonMaxDepth

constexpr size_t kJsonMaxDepth = 64;

// Reads `bytes` as one JSON object (RFC 8259: strict, UTF-8). The members of its top level
// are kept in their order (a name given twice is kept twice); nested objects are checked and
// not kept. In decoded strings "\uDC80" to "\uDCFF" are the bytes 0x80 to 0xFF (the escape
// AppendJsonString writes for bytes that are not UTF-8), a surrogate pair is its character,
// any other lone surrogate its three bytes (as Windows names keep it), "\u0000" a NUL byte.
// RETURNS kJsonOk, or a status above with *errorOffset at the byte where reading stopped.
int32_t ReadJsonObject(const char* bytes, size_t size, std::vector<JsonMember>* members,
                       size_t* errorOffset);
// "empty line", "not a JSON object", "not JSON", "not UTF-8", "nested too deep".
const char* JsonStatusText(int32_t status);
// The first member of that name, or nullptr.
const JsonMember* FindJsonMember(const std::vector<JsonMember>& members, const char* name);
// A number member that is an integer within int64_t. RETURNS false for anything else.
bool JsonInteger(const JsonMember& member, int64_t* value);
