// Standard output, fully buffered and flushed after each message or banner group: a console
// then receives each message in one write, where an unbuffered stream (the C runtime's choice
// for a console) goes out one character per write, and the console shows it no later.
#include "run/run.h"

#include <cstdio>

namespace {

// Larger than the longest group (the opening banner, about 2,000 characters): a group goes
// out in one write.
char g_consoleBuffer[kConsoleBufferSize];

}  // namespace

void BufferConsoleOutput()
{
    setvbuf(stdout, g_consoleBuffer, _IOFBF, sizeof(g_consoleBuffer));
}

void PrintToConsole(const char* text)
{
    fputs(text, stdout);
}

void ShowOnConsole(const char* text)
{
    fputs(text, stdout);
    fflush(stdout);
}
