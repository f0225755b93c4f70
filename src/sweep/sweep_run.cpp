// The sweep from start to end: the walker on the main thread hands files to a fixed pool of
// workers through a bounded queue (or scans them itself with one thread); each worker reads,
// matches, acts on and prints one file at a time; the summary comes last.
#include "sweep/sweep_context.h"
#include "sweep/sweep_platform.h"

#include <condition_variable>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kTickMs = 250;
constexpr int kBatchHoldMs = 100;

void ActOnFound(SweepContext* context, FileOutcome* outcome)
{
    if (context->options->haveMove) {
        MoveToQuarantine(context, outcome);
    } else if (context->options->remove) {
        RemoveFoundFile(context, outcome);
    }
    if (outcome->action == FoundAction::kFailed) {
        context->totals.errors.fetch_add(1);
    }
}

void ScanAndReport(SweepContext* context, const WorkItem& item, uint8_t* buffer)
{
    FileOutcome outcome;
    outcome.path = item.path;
    outcome.rootLength = item.rootLength;
    ScanFile(context, item, buffer, &outcome);
    if (outcome.error != 0) {
        context->totals.errors.fetch_add(1);
    } else if (!outcome.scanned) {
        return;   // not a regular file: never opened for reading, not counted
    } else {
        context->totals.scanned.fetch_add(1);
        if (outcome.variants != 0) {
            context->totals.found.fetch_add(1);
            ActOnFound(context, &outcome);
        }
    }
    std::string out;
    std::string err;
    FormatOutcome(*context->options, outcome, &out, &err);
    PrintBlock(context, out, err);
}

void Worker(SweepContext* context)
{
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(kFileBytesBufferSize));
    if (buffer == nullptr) {
        std::abort();
    }
    WorkBatch batch;
    while (PopBatch(&context->queue, &batch)) {
        for (const WorkItem& item : batch) {
            ScanAndReport(context, item, buffer);
        }
        batch.clear();
    }
    std::free(buffer);
}

void FlushBatch(SweepContext* context)
{
    context->lastFlush = std::chrono::steady_clock::now();
    if (!context->batch.empty()) {
        PushBatch(&context->queue, std::move(context->batch));
        context->batch = WorkBatch();
        context->batch.reserve(kBatchSize);
    }
}

void TakeListedPath(void* context, const std::string& path)
{
    WalkPath(static_cast<SweepContext*>(context), path);
}

// The paths of the -f list, walked as they are read.
void WalkFileList(SweepContext* context)
{
    int32_t error = 0;
    FILE* list = OpenListFile(context->options->fileList, &error);
    if (list == nullptr) {
        ReportPathError(context, context->options->fileList, error);
        return;
    }
    std::string pending;
    char chunk[16384];
    size_t got = 0;
    for (;;) {
        // The paths in hand go to the workers before the list may keep us waiting.
        FlushBatch(context);
        error = ReadListChunk(list, chunk, sizeof(chunk), &got);
        if (error != 0 || got == 0) {
            break;
        }
        SplitListChunk(&pending, chunk, got, false, TakeListedPath, context);
    }
    SplitListChunk(&pending, chunk, 0, true, TakeListedPath, context);
    if (error != 0) {
        ReportPathError(context, context->options->fileList, error);
    }
    if (list != stdin) {
        std::fclose(list);
    }
}

// A few times a second until the sweep ends: the progress line redrawn on a terminal, and
// lines held for a full buffer written out, so a slow sweep still shows them soon.
struct TickerThread {
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
};

void RunTicker(SweepContext* context, TickerThread* ticker)
{
    std::unique_lock<std::mutex> hold(ticker->lock);
    while (!ticker->wake.wait_for(hold, std::chrono::milliseconds(kTickMs),
                                  [ticker] { return ticker->done; })) {
        hold.unlock();
        if (context->progressWanted) {
            DrawProgress(context);
        } else {
            FlushOutput(context);
        }
        hold.lock();
    }
}

}  // namespace

void SubmitFile(SweepContext* context, WorkItem&& item)
{
    if (context->scanOnWalkerThread) {
        ScanAndReport(context, item, context->walkerBuffer);
        return;
    }
    context->batch.push_back(std::move(item));
    // Full batches, and none held back long while the walk is slow (a share, a trickling list).
    if (context->batch.size() >= kBatchSize ||
        std::chrono::steady_clock::now() - context->lastFlush >
            std::chrono::milliseconds(kBatchHoldMs)) {
        FlushBatch(context);
    }
}

void ReportPathError(SweepContext* context, const std::string& path, int32_t error)
{
    context->totals.errors.fetch_add(1);
    std::string out;
    std::string err;
    FormatPathError(*context->options, path, error, &out, &err);
    PrintBlock(context, out, err);
}

void ReportSkippedFile(SweepContext* context, const std::string& path)
{
    context->totals.skipped.fetch_add(1);
    std::string out;
    FormatSkipped(*context->options, path, &out);
    PrintBlock(context, out, std::string());
}

int RunSweep(const SweepOptions& options)
{
    SweepContext context;
    context.options = &options;
    context.started = std::chrono::steady_clock::now();
    BuildVariantSets(context.sets);
    context.progressWanted = !options.quiet && StderrIsTerminal();
    if (options.haveMove || options.remove) {
        context.self = ThisProcess();
    }
    if (options.haveMove) {
        // A folder others could use against the sweep is refused before anything is scanned,
        // on stderr whatever the output format.
        int32_t error = PrepareQuarantine(&context);
        if (error != 0) {
            std::string message = options.moveTo + ": ERROR: quarantine folder refused: " +
                                  ReasonText(error) + "\n";
            WriteStream(2, message.data(), message.size());
            return kExitError;
        }
    }
    uint32_t threads = options.threads != 0 ? options.threads : DefaultThreadCount();
    context.scanOnWalkerThread = threads <= 1;
    std::vector<std::thread> workers;
    if (context.scanOnWalkerThread) {
        context.walkerBuffer = static_cast<uint8_t*>(std::malloc(kFileBytesBufferSize));
        if (context.walkerBuffer == nullptr) {
            return kExitError;
        }
    } else {
        context.batch.reserve(kBatchSize);
        for (uint32_t index = 0; index < threads; ++index) {
            workers.emplace_back(Worker, &context);
        }
    }
    TickerThread ticker;
    std::thread tickerThread(RunTicker, &context, &ticker);

    for (const std::string& path : options.paths) {
        WalkPath(&context, path);
    }
    if (options.haveFileList) {
        WalkFileList(&context);
    }
    if (!context.scanOnWalkerThread) {
        FlushBatch(&context);
        CloseQueue(&context.queue);
        for (std::thread& worker : workers) {
            worker.join();
        }
    }
    std::free(context.walkerBuffer);
    {
        std::lock_guard<std::mutex> hold(ticker.lock);
        ticker.done = true;
    }
    ticker.wake.notify_all();
    tickerThread.join();
    ClearProgress(&context);

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                   context.started).count();
    uint64_t found = context.totals.found.load();
    uint64_t errors = context.totals.errors.load();
    if (!options.quiet) {
        std::string summary;
        FormatSummary(options, context.totals.scanned.load(), found, errors,
                      context.totals.skipped.load(), seconds, &summary);
        PrintBlock(&context, summary, std::string());
    }
    FlushOutput(&context);
    if (options.haveMove) {
        CloseQuarantine(&context);
    }
    if (found > 0) {
        return kExitFound;
    }
    return errors > 0 ? kExitError : kExitClean;
}
