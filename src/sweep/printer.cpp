// The one place that writes: a file's lines as one piece, so lines of two files never mix;
// stdout gathered into large writes; the progress line cleared before anything else shows.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <cstdio>

namespace {

constexpr size_t kOutputFlushSize = 64 * 1024;
constexpr size_t kProgressFolderWidth = 40;
const char kClearLine[] = "\r\x1b[K";

void ClearProgressLocked(SweepContext* context)
{
    if (context->progressShown) {
        WriteStream(2, kClearLine, sizeof(kClearLine) - 1);
        context->progressShown = false;
    }
}

void FlushLocked(SweepContext* context)
{
    if (!context->outBuffer.empty()) {
        WriteStream(1, context->outBuffer.data(), context->outBuffer.size());
        context->outBuffer.clear();
    }
}

}  // namespace

void PrintBlock(SweepContext* context, const std::string& out, const std::string& err)
{
    if (out.empty() && err.empty()) {
        return;
    }
    std::lock_guard<std::mutex> hold(context->outputLock);
    context->outBuffer.append(out);
    if (!err.empty()) {
        ClearProgressLocked(context);
        FlushLocked(context);   // errors show in their place among the file lines
        WriteStream(2, err.data(), err.size());
    } else if (context->outBuffer.size() >= kOutputFlushSize || context->progressWanted) {
        // On a terminal, lines show as they come; elsewhere in large pieces (and a few times
        // a second, by the sweep's ticker).
        ClearProgressLocked(context);
        FlushLocked(context);
    }
}

void FlushOutput(SweepContext* context)
{
    std::lock_guard<std::mutex> hold(context->outputLock);
    FlushLocked(context);
}

void SetCurrentFolder(SweepContext* context, const std::string& folder)
{
    if (!context->progressWanted) {
        return;
    }
    std::lock_guard<std::mutex> hold(context->outputLock);
    context->currentFolder = folder;
}

void DrawProgress(SweepContext* context)
{
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                   context->started).count();
    uint64_t scanned = context->totals.scanned.load();
    char counts[128];
    std::snprintf(counts, sizeof(counts), "Scanned: %llu  Found: %llu  Files/s: %.0f  In: ",
                  static_cast<unsigned long long>(scanned),
                  static_cast<unsigned long long>(context->totals.found.load()),
                  seconds > 0.001 ? static_cast<double>(scanned) / seconds : 0.0);
    std::lock_guard<std::mutex> hold(context->outputLock);
    std::string line = kClearLine;
    line += counts;
    // The folder's last characters, cut at a byte that starts a character.
    const std::string& folder = context->currentFolder;
    size_t from = folder.size() > kProgressFolderWidth ? folder.size() - kProgressFolderWidth : 0;
    while (from > 0 && from < folder.size() && (static_cast<unsigned char>(folder[from]) & 0xC0) == 0x80) {
        ++from;
    }
    if (from > 0) {
        line += "...";
    }
    for (size_t at = from; at < folder.size(); ++at) {
        unsigned char c = static_cast<unsigned char>(folder[at]);
        line.push_back(c < 0x20 || c == 0x7F ? '?' : folder[at]);   // no terminal controls
    }
    FlushLocked(context);
    WriteStream(2, line.data(), line.size());
    context->progressShown = true;
}

void ClearProgress(SweepContext* context)
{
    std::lock_guard<std::mutex> hold(context->outputLock);
    ClearProgressLocked(context);
}
