// The sweep's platform pieces, one implementation for POSIX (*_posix.cpp) and one for Win32
// (*_win32.cpp), chosen by the build. Error numbers are errno values on POSIX and
// GetLastError values on Win32.
#pragma once

#include "error_text/error_text.h"
#include "sweep/sweep_context.h"

#include <cstdio>
#include <string>

// walk_*.cpp: a path given by the user: a file is submitted, a folder walked (streaming,
// without recursion), anything else skipped; errors reported, the walk going on.
void WalkPath(SweepContext* context, const std::string& path);

// scan_file_*.cpp: opens the item if it is (still) a regular file, reads it once for the
// three sets and fills the outcome; a path that is not a regular file is left unscanned
// without an error.
void ScanFile(SweepContext* context, const WorkItem& item, uint8_t* buffer, FileOutcome* outcome);

// quarantine_*.cpp
// This host and process, as the names of work files give them.
WorkOwner ThisProcess();
// Opens the quarantine folder (made with its missing parents, mode 0700, when missing),
// refuses one that others could use against the sweep, and finishes what killed runs of this
// host left there. RETURNS 0, or why the folder is refused: the sweep then does not start.
int32_t PrepareQuarantine(SweepContext* context);
void CloseQuarantine(SweepContext* context);
// Moves the found file into the quarantine, if it is still the file scanned: outcome->action
// kMoved with quarantineName, or kFailed with actionError, the original where it was.
void MoveToQuarantine(SweepContext* context, FileOutcome* outcome);
// Deletes the found file, if it is still the file scanned (read-only cleared first on Win32,
// through the open file): kRemoved or kFailed.
void RemoveFoundFile(SweepContext* context, FileOutcome* outcome);

// console_*.cpp
void WriteStream(int stream, const char* bytes, size_t size);   // 1 stdout, 2 stderr
bool StderrIsTerminal();
// The scanning threads when -j is not given.
uint32_t DefaultThreadCount();
// The list file of -f ("-": standard input), opened for binary reading; nullptr with
// *error on failure.
FILE* OpenListFile(const std::string& name, int32_t* error);
// Reads what the list has now, waiting only while it has nothing (a pipe that trickles is
// scanned as it comes). *got 0 at its end. RETURNS 0 or the error number.
int32_t ReadListChunk(FILE* list, char* into, size_t size, size_t* got);
// The arguments after the program's name, as UTF-8 on Win32 (from the wide command line).
void CommandLineArguments(int argc, char** argv, std::vector<std::string>* arguments);
