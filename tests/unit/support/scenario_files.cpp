#include "support/scenario_files.h"

#include <cstdio>
#include <cstdlib>

std::string ScenariosFolder()
{
    const char* folder = getenv("PURGEKIT_SCENARIOS");
    return folder == nullptr ? std::string() : std::string(folder);
}

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.append(chunk, got);
    }
    fclose(file);
    return bytes;
}

std::string ScenarioExpectedText(const std::string& relative)
{
    std::string root = ScenariosFolder();
    std::string text = ReadWholeFile(root + "/" + relative);
    std::string expanded;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.compare(0, 10, "@@include ") == 0) {
            expanded += ReadWholeFile(root + "/../common/" + line.substr(10) + ".txt");
        } else {
            expanded += line + (end == std::string::npos ? "" : "\n");
        }
        at = end == std::string::npos ? text.size() : end + 1;
    }
    std::string crlf;
    for (char c : expanded) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return crlf;
}
