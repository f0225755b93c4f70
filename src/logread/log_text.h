// Bounded pieces of text: a line of the log, or a message text seen as the line it makes.
#pragma once

#include <cstddef>

struct TextSpan {
    const char* bytes;
    size_t length;
};

// The spans of the message texts are worked out by the compiler (the reader's tables are
// constexpr), so that reading a line costs no scan of the messages.
constexpr TextSpan TrimTrailingBlanks(TextSpan text)
{
    while (text.length > 0 && text.bytes[text.length - 1] == ' ') {
        --text.length;
    }
    return text;
}

// A message as the line it makes: its first line that is not blank, with trailing blanks
// dropped (a console line may gain a trailing blank from the text that follows it).
constexpr TextSpan LineOf(const char* message)
{
    for (;;) {
        size_t length = 0;
        while (message[length] != '\0' && message[length] != '\n') {
            ++length;
        }
        TextSpan line = TrimTrailingBlanks(TextSpan{message, length});
        if (line.length > 0 || message[length] == '\0') {
            return line;
        }
        message += length + 1;
    }
}

// A message that a filled-in part follows on the same line: its text after its last line break,
// as it is ("Windows Platform : ").
constexpr TextSpan HeadOf(const char* message)
{
    size_t start = 0;
    size_t length = 0;
    for (; message[length] != '\0'; ++length) {
        if (message[length] == '\n') {
            start = length + 1;
        }
    }
    return TextSpan{message + start, length - start};
}

// A message that ends a line: its text after its last line break, trailing blanks dropped.
constexpr TextSpan TailOf(const char* message)
{
    return TrimTrailingBlanks(HeadOf(message));
}

bool SpanEquals(TextSpan text, TextSpan expected);
bool SpanStartsWith(TextSpan text, TextSpan head);
bool SpanEndsWith(TextSpan text, TextSpan tail);
// `text` without its first `count` bytes / its last `count` bytes (count at most its length).
TextSpan DropHead(TextSpan text, size_t count);
TextSpan DropTail(TextSpan text, size_t count);
// Whether `text` equals `name`, ASCII letter case ignored.
bool SpanEqualsIgnoringCase(TextSpan text, const char* name);
// Copies at most size - 1 bytes and a terminating zero; a longer text ends in "...". A NUL
// inside the text is kept out: the copy is cut before it.
void CopySpan(TextSpan text, char* out, size_t size);
