// The command line: short and long options, values attached ("-j2", "--threads=2") or
// separate, "--" ending the options.
#include "sweep/sweep.h"

#include <cstring>

namespace {

struct Parsing {
    const std::vector<std::string>& arguments;
    size_t index;
    std::string* problem;
};

// The value of an option: attached after "=" or the short option's letter, else the next
// argument. RETURNS false (with the problem) when there is none.
bool TakeValue(Parsing* parsing, const std::string& name, const std::string& attached,
               bool hasAttached, std::string* value)
{
    if (hasAttached) {
        *value = attached;
        return true;
    }
    if (parsing->index + 1 >= parsing->arguments.size()) {
        *parsing->problem = "option " + name + " needs a value";
        return false;
    }
    *value = parsing->arguments[++parsing->index];
    return true;
}

bool ParseThreads(const std::string& text, uint32_t* threads)
{
    if (text.empty() || text.size() > 3) {
        return false;
    }
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value < 1 || value > kMaxThreads) {
        return false;
    }
    *threads = value;
    return true;
}

}  // namespace

int32_t ParseOptions(const std::vector<std::string>& arguments, SweepOptions* options,
                     std::string* problem)
{
    Parsing parsing{arguments, 0, problem};
    bool optionsEnded = false;
    for (; parsing.index < arguments.size(); ++parsing.index) {
        const std::string& argument = arguments[parsing.index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options->paths.push_back(argument);   // "-" alone is a path too
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // The option's name and a value attached to it.
        std::string name = argument;
        std::string attached;
        bool hasAttached = false;
        if (argument[1] == '-') {
            size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
                hasAttached = true;
            }
        } else if (argument.size() > 2) {
            name = argument.substr(0, 2);
            attached = argument.substr(2);
            hasAttached = true;
        }
        const bool flag = !hasAttached;
        std::string value;
        if (name == "--help" && flag) {
            return kOptionsHelp;
        } else if (name == "--version" && flag) {
            return kOptionsVersion;
        } else if ((name == "-i" || name == "--infected") && flag) {
            options->infectedOnly = true;
        } else if ((name == "-q" || name == "--quiet") && flag) {
            options->quiet = true;
        } else if (name == "--json" && flag) {
            options->json = true;
        } else if (name == "--follow-symlinks" && flag) {
            options->followSymlinks = true;
        } else if (name == "--one-file-system" && flag) {
            options->oneFileSystem = true;
        } else if (name == "--remove" && flag) {
            options->remove = true;
        } else if (name == "--read-offline" && flag) {
            options->readOffline = true;
        } else if (name == "-f" || name == "--file-list") {
            if (!TakeValue(&parsing, name, attached, hasAttached, &value)) {
                return kOptionsUsage;
            }
            if (options->haveFileList) {
                *problem = "only one file list can be given";
                return kOptionsUsage;
            }
            options->fileList = value;
            options->haveFileList = true;
        } else if (name == "-j" || name == "--threads") {
            if (!TakeValue(&parsing, name, attached, hasAttached, &value)) {
                return kOptionsUsage;
            }
            if (!ParseThreads(value, &options->threads)) {
                *problem = "the number of threads must be 1 to 64";
                return kOptionsUsage;
            }
        } else if (name == "--exclude") {
            if (!TakeValue(&parsing, name, attached, hasAttached, &value)) {
                return kOptionsUsage;
            }
            options->excludes.push_back(value);
        } else if (name == "--move") {
            if (!TakeValue(&parsing, name, attached, hasAttached, &value)) {
                return kOptionsUsage;
            }
            if (value.empty()) {
                *problem = "the quarantine folder must be named";
                return kOptionsUsage;
            }
            options->moveTo = value;
            options->haveMove = true;
        } else {
            *problem = "unknown option " + argument;
            return kOptionsUsage;
        }
    }
    if (options->haveMove && options->remove) {
        *problem = "--move and --remove exclude each other";
        return kOptionsUsage;
    }
    if (options->paths.empty() && !options->haveFileList) {
        *problem = "no path to scan";
        return kOptionsUsage;
    }
    return kOptionsOk;
}
