// The one escaping of JSON strings, shared by the writers of json.h: the bytes of the string
// (its quotes included) are handed to `put` piece by piece.
#pragma once

#include <cstddef>

using JsonPut = void (*)(void* context, const char* bytes, size_t size);

void EscapeJsonString(const char* text, size_t size, JsonPut put, void* context);
