// JSON strings into a fixed buffer, for the programs built without the C++ library's strings
// (the 32-bit launcher keeps to the C runtime that every Windows has).
#include "json/json.h"

#include "json/json_escape.h"

#include <cstring>

namespace {

struct BoundedOut {
    char* out;
    size_t size;
    size_t used;
    bool cut;
};

void PutToBuffer(void* context, const char* bytes, size_t size)
{
    BoundedOut* target = static_cast<BoundedOut*>(context);
    if (target->cut || size >= target->size - target->used) {
        target->cut = true;
        return;
    }
    memcpy(target->out + target->used, bytes, size);
    target->used += size;
}

}  // namespace

bool AppendJsonStringTo(char* out, size_t size, const char* text, size_t length)
{
    if (out == nullptr || size == 0) {
        return false;
    }
    size_t used = strnlen(out, size);
    if (used >= size) {
        return false;
    }
    BoundedOut target = {out, size, used, false};
    EscapeJsonString(text, length, PutToBuffer, &target);
    if (target.cut) {
        out[used] = '\0';
        return false;
    }
    out[target.used] = '\0';
    return true;
}
