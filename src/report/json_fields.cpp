#include "report/json_fields.h"

#include "json/json.h"

void AppendJsonKey(std::string* out, const char* key)
{
    if (!out->empty() && out->back() != '{' && out->back() != '[') {
        out->push_back(',');
    }
    out->push_back('"');
    out->append(key);
    out->append("\":");
}

void AppendJsonStringMember(std::string* out, const char* key, const std::string& value)
{
    AppendJsonKey(out, key);
    AppendJsonString(out, value);
}

void AppendJsonNumberMember(std::string* out, const char* key, uint64_t value)
{
    AppendJsonKey(out, key);
    out->append(std::to_string(value));
}

void AppendJsonBoolMember(std::string* out, const char* key, bool value)
{
    AppendJsonKey(out, key);
    out->append(value ? "true" : "false");
}
