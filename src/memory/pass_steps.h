// Steps both back-ends' passes share: terminating an identified process with the pass-wide
// attempt counter, deleting its executable file, and composing messages with a path.
#pragma once

#include "memory/memory.h"

// The state of one pass, local to it.
struct PassState {
    int32_t result;      // starts at -6; the outcome of the last identified process
    uint32_t attempts;   // TerminateProcess calls over the whole pass, never reset
};

// Reports head + argument + tail, cut (never overflowed) at kPassMessageSize.
void ReportComposed(const char* head, const char* argument, const char* tail);

// Whether `processId` is this program's own process: it is never terminated, and its
// executable file is never deleted.
bool IsOwnProcess(DWORD processId);

// Reads the exit code once, then calls TerminateProcess with it, counts the attempt and
// waits kTerminateWaitMs; repeats a failed attempt while the counter is at most the limit.
// RETURNS true when a TerminateProcess call succeeded.
bool TerminateWithRetries(HANDLE process, uint32_t* attempts);

// Resets the file's attributes to normal, deletes it and reports the outcome.
// RETURNS 0 deleted ("\n\t File %s deleted"); -97 not deleted ("\n\t Error deleting %s").
int32_t DeleteExecutable(const char* path);
