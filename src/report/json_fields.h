// Members of the JSON objects the report writes, appended to an object being composed (its
// opening brace already there).
#pragma once

#include <cstdint>
#include <string>

void AppendJsonKey(std::string* out, const char* key);
void AppendJsonStringMember(std::string* out, const char* key, const std::string& value);
void AppendJsonNumberMember(std::string* out, const char* key, uint64_t value);
void AppendJsonBoolMember(std::string* out, const char* key, bool value);
