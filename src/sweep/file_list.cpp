#include "sweep/sweep.h"

void SplitListChunk(std::string* pending, const char* chunk, size_t size, bool flush,
                    void (*take)(void* context, const std::string& path), void* context)
{
    size_t start = 0;
    for (size_t at = 0; at < size; ++at) {
        if (chunk[at] != '\n') {
            continue;
        }
        pending->append(chunk + start, at - start);
        start = at + 1;
        if (!pending->empty() && pending->back() == '\r') {
            pending->pop_back();
        }
        if (!pending->empty()) {
            take(context, *pending);
        }
        pending->clear();
    }
    pending->append(chunk + start, size - start);
    if (flush) {
        if (!pending->empty() && pending->back() == '\r') {
            pending->pop_back();
        }
        if (!pending->empty()) {
            take(context, *pending);
        }
        pending->clear();
    }
}
