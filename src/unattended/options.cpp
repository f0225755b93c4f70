// The launcher's command line: three options, each at most once, each with a value.
#include "unattended/unattended.h"

#include <cstring>

namespace {

const char kUsage[] =
    "usage: purgekit-unattended.exe [--work DIR] [--results DIR] [--timeout SECONDS]\n"
    "  Runs purgekit.exe from this program's folder in a hidden console of its own, answers its\n"
    "  two key prompts, and files its log, its console output and a line in runs.jsonl.\n"
    "  --work DIR         the cleaner's current folder, where PURGEKIT.LOG grows from run to run\n"
    "                     (default: the folder PURGEKIT in the Windows folder)\n"
    "  --results DIR      a folder (local or \\\\server\\share\\...) that gets DIR\\<computer "
    "name>\\\n"
    "                     (default: the results stay in the work folder)\n"
    "  --timeout SECONDS  the cleaner is ended after this long and the run failed (default 540)\n"
    "  Exit code: 0 clean, 3010 cleaned (restart and run again), 1 incomplete or failed,\n"
    "  2 a usage error.\n";

// Copies the problem text and the argument it concerns, cut to fit.
void SayProblem(char* problem, size_t size, const char* text, const char* argument)
{
    if (problem == nullptr || size == 0) {
        return;
    }
    problem[0] = '\0';
    size_t used = 0;
    const char* const parts[] = {text, argument};
    for (const char* part : parts) {
        for (size_t i = 0; part != nullptr && part[i] != '\0' && used + 1 < size; ++i) {
            problem[used++] = part[i];
        }
    }
    problem[used] = '\0';
}

// A whole decimal number from 1 to kMaxTimeoutSeconds, nothing else.
bool ParseSeconds(const char* text, uint32_t* seconds)
{
    uint32_t value = 0;
    size_t digits = 0;
    for (; text[digits] != '\0'; ++digits) {
        if (text[digits] < '0' || text[digits] > '9' || value > kMaxTimeoutSeconds) {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(text[digits] - '0');
    }
    if (digits == 0 || value == 0 || value > kMaxTimeoutSeconds) {
        return false;
    }
    *seconds = value;
    return true;
}

bool CopyPath(char* out, const char* value)
{
    size_t length = strlen(value);
    if (length >= kLaunchPathSize) {
        return false;
    }
    memcpy(out, value, length + 1);
    return true;
}

}  // namespace

int32_t ParseLaunchOptions(int count, const char* const* arguments, LaunchOptions* options,
                           char* problem, size_t problemSize)
{
    memset(options, 0, sizeof(*options));
    options->timeoutSeconds = kDefaultTimeoutSeconds;
    SayProblem(problem, problemSize, "", nullptr);
    bool seenWork = false;
    bool seenResults = false;
    bool seenTimeout = false;
    for (int i = 0; i < count; ++i) {
        const char* option = arguments[i];
        if (strcmp(option, "--help") == 0 || strcmp(option, "/?") == 0) {
            return kOptionsHelp;
        }
        bool* seen = strcmp(option, "--work") == 0      ? &seenWork
                     : strcmp(option, "--results") == 0 ? &seenResults
                     : strcmp(option, "--timeout") == 0 ? &seenTimeout
                                                        : nullptr;
        if (seen == nullptr) {
            SayProblem(problem, problemSize, "unknown option: ", option);
            return kOptionsUsage;
        }
        if (*seen) {
            SayProblem(problem, problemSize, "given twice: ", option);
            return kOptionsUsage;
        }
        *seen = true;
        if (i + 1 >= count || arguments[i + 1][0] == '\0') {
            SayProblem(problem, problemSize, "a value is missing after ", option);
            return kOptionsUsage;
        }
        const char* value = arguments[++i];
        bool taken = seen == &seenTimeout ? ParseSeconds(value, &options->timeoutSeconds)
                     : seen == &seenWork  ? CopyPath(options->work, value)
                                          : CopyPath(options->results, value);
        if (!taken) {
            SayProblem(problem, problemSize,
                       seen == &seenTimeout ? "not a number of seconds from 1 to 604800: "
                                            : "a path longer than 259 characters: ",
                       value);
            return kOptionsUsage;
        }
    }
    return kOptionsOk;
}

const char* LaunchUsageText()
{
    return kUsage;
}
