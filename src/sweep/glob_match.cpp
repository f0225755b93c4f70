// fnmatch-style patterns, matched byte by byte without recursion: on a mismatch after a `*`
// the match resumes one byte further behind that `*`, so any pattern costs at most
// pattern length times text length steps.
#include "sweep/sweep.h"

#include <cstring>

namespace {

// A bracket expression at `pattern` (just past '['): whether `c` is in it; *end gets the
// byte after its ']'. RETURNS false in *valid when there is no closing ']' (then '[' is
// an ordinary byte).
bool InBracket(const char* pattern, unsigned char c, const char** end, bool* valid)
{
    const char* at = pattern;
    bool negate = false;
    if (*at == '!' || *at == '^') {
        negate = true;
        ++at;
    }
    bool matched = false;
    bool first = true;
    while (*at != '\0' && (*at != ']' || first)) {
        first = false;
        unsigned char low = static_cast<unsigned char>(*at);
        if (*at == '\\' && at[1] != '\0') {
            low = static_cast<unsigned char>(*++at);
        }
        ++at;
        unsigned char high = low;
        if (*at == '-' && at[1] != ']' && at[1] != '\0') {
            high = static_cast<unsigned char>(at[1]);
            at += 2;
        }
        if (low <= c && c <= high) {
            matched = true;
        }
    }
    if (*at != ']') {
        *valid = false;
        return false;
    }
    *valid = true;
    *end = at + 1;
    return matched != negate;
}

}  // namespace

bool GlobMatches(const char* pattern, const char* text)
{
    const char* starPattern = nullptr;   // just past the last '*' seen
    const char* starText = nullptr;      // where that '*' stopped matching
    while (*text != '\0') {
        bool advanced = false;
        if (*pattern == '*') {
            starPattern = ++pattern;
            starText = text;
            continue;
        }
        if (*pattern == '?') {
            ++pattern;
            advanced = true;
        } else if (*pattern == '[') {
            const char* end = nullptr;
            bool valid = false;
            bool in = InBracket(pattern + 1, static_cast<unsigned char>(*text), &end, &valid);
            if (valid && in) {
                pattern = end;
                advanced = true;
            } else if (!valid && *text == '[') {
                ++pattern;
                advanced = true;
            }
        } else {
            const char* literal = pattern;
            if (*literal == '\\' && literal[1] != '\0') {
                ++literal;
            }
            if (*literal != '\0' && *literal == *text) {
                pattern = literal + 1;
                advanced = true;
            }
        }
        if (advanced) {
            ++text;
            continue;
        }
        if (starPattern == nullptr) {
            return false;
        }
        pattern = starPattern;
        text = ++starText;
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

bool IsExcluded(const SweepOptions& options, const std::string& path)
{
    if (options.excludes.empty()) {
        return false;
    }
    // The base name of "dir/" is "dir": separators at the end do not count.
    std::string trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) {
        trimmed.pop_back();
    }
    size_t cut = trimmed.find_last_of("/\\");
    const char* name = cut == std::string::npos ? trimmed.c_str() : trimmed.c_str() + cut + 1;
    for (const std::string& pattern : options.excludes) {
        if (GlobMatches(pattern.c_str(), path.c_str()) || GlobMatches(pattern.c_str(), name)) {
            return true;
        }
    }
    return false;
}
