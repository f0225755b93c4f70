// The state of one sweep, shared by the walker, the workers, the printer and the progress
// line, and the platform's pieces that serve them.
#pragma once

#include "sweep/quarantine_record.h"
#include "sweep/sweep.h"
#include "sweep/work_queue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

struct SweepContext {
    const SweepOptions* options = nullptr;
    SignatureSet sets[kVariantCount];
    SweepTotals totals;
    std::chrono::steady_clock::time_point started;

    // Work: inline on the walker's thread with one thread, else through the queue.
    bool scanOnWalkerThread = true;
    WorkQueue queue;
    WorkBatch batch;       // being filled by the walker
    std::chrono::steady_clock::time_point lastFlush;
    uint8_t* walkerBuffer = nullptr;

    // Output: stdout text gathered and written in large pieces; one file's lines at once.
    std::mutex outputLock;
    std::string outBuffer;
    bool progressShown = false;
    bool progressWanted = false;
    std::string currentFolder;   // under outputLock

    // Quarantine (--move): the folder opened once, checked, and every file in it reached
    // relative to it.
    std::string quarantineDir;   // as given
    intptr_t quarantineFolder = -1;   // its descriptor on POSIX, its HANDLE on Win32
    uint64_t quarantineDevice = 0;
    uint64_t quarantineIndex = 0;   // the folder's inode (file index): never walked into
    WorkOwner self;                 // this host and process, as work files name them
    std::string manifestName;       // this host's manifest
    std::mutex manifestLock;
    std::atomic<uint32_t> quarantineCounter{0};
};

// ---- printer.cpp ----------------------------------------------------------------------------
// Writes one block: `out` to stdout (buffered), `err` to stderr at once.
void PrintBlock(SweepContext* context, const std::string& out, const std::string& err);
void FlushOutput(SweepContext* context);
// The progress line on stderr: drawn, and cleared for good at the end.
void DrawProgress(SweepContext* context);
void ClearProgress(SweepContext* context);
void SetCurrentFolder(SweepContext* context, const std::string& folder);

// ---- sweep_run.cpp --------------------------------------------------------------------------
// A regular file (or a path that should be one) for scanning.
void SubmitFile(SweepContext* context, WorkItem&& item);
// An error about a folder or a path that could not be examined: counted and printed.
void ReportPathError(SweepContext* context, const std::string& path, int32_t error);
// A file left unread, since reading its data would download or recall it: counted and printed.
void ReportSkippedFile(SweepContext* context, const std::string& path);

// ---- match_sets.cpp -------------------------------------------------------------------------
// Reads what the three sets need of an open regular file of `size` bytes through the
// platform's positioned `read`, then tests the sets: the file counts as scanned with the bit
// of each set found, or gets the read's error.
void ReadAndMatchSets(const SweepContext* context, ReadAtFunction read, void* source,
                      uint64_t size, uint8_t* buffer, FileOutcome* outcome);
