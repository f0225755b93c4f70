// JSON strings into a std::string, for the programs built with the C++ library's strings.
#include "json/json.h"

#include "json/json_escape.h"

namespace {

void PutToString(void* context, const char* bytes, size_t size)
{
    static_cast<std::string*>(context)->append(bytes, size);
}

}  // namespace

void AppendJsonString(std::string* out, const std::string& text)
{
    EscapeJsonString(text.data(), text.size(), PutToString, out);
}
