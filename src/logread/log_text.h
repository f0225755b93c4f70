// Bounded pieces of text: a line of the log, or a message text seen as the line it makes.
#pragma once

#include <cstddef>

struct TextSpan {
    const char* bytes;
    size_t length;
};

// A message as the line it makes: its first line that is not blank, with trailing blanks
// dropped (a console line may gain a trailing blank from the text that follows it).
TextSpan LineOf(const char* message);
// A message that a filled-in part follows on the same line: its text after its last line break,
// as it is ("Windows Platform : ").
TextSpan HeadOf(const char* message);
// A message that ends a line: its text after its last line break, trailing blanks dropped.
TextSpan TailOf(const char* message);
TextSpan TrimTrailingBlanks(TextSpan text);

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
