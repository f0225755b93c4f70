// Splits the bytes into lines, whatever their size and content: a line ends at LF, a CR before
// the LF is dropped, and only the first kLogLineSize bytes of a line are kept.
#include "logread/run_lines.h"

#include <cstring>

namespace {

void EndLine(LogReader* reader)
{
    size_t length = reader->lineLength;
    if (length > 0 && reader->line[length - 1] == '\r' && !reader->lineCut) {
        --length;
    }
    ++reader->lineNumber;
    TakeLine(reader, TextSpan{reader->line, length});
    if (reader->lineCut && reader->inRun) {
        ++reader->run.cutLines;
    }
    reader->lineLength = 0;
    reader->lineCut = false;
    reader->lineOffset = reader->offset;
}

}  // namespace

void StartReading(LogReader* reader, RunSink sink, void* context, uint8_t foldersStanding)
{
    memset(reader, 0, sizeof(*reader));
    reader->sink = sink;
    reader->context = context;
    reader->foldersStanding = foldersStanding;
}

void ReadLogBytes(LogReader* reader, const char* bytes, size_t size)
{
    while (size > 0) {
        const void* newline = memchr(bytes, '\n', size);
        size_t piece = newline == nullptr
                           ? size
                           : static_cast<size_t>(static_cast<const char*>(newline) - bytes);
        size_t room = sizeof(reader->line) - reader->lineLength;
        size_t kept = piece < room ? piece : room;
        memcpy(reader->line + reader->lineLength, bytes, kept);
        reader->lineLength += kept;
        if (kept < piece) {
            reader->lineCut = true;
        }
        size_t consumed = newline == nullptr ? piece : piece + 1;
        reader->offset += consumed;
        bytes += consumed;
        size -= consumed;
        if (newline != nullptr) {
            EndLine(reader);
        }
    }
}

void FinishReading(LogReader* reader)
{
    if (reader->lineLength > 0 || reader->lineCut) {
        EndLine(reader);
    }
    EndRun(reader);
}
