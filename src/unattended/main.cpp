// purgekit-unattended: the cleaner for machines nobody sits at.
#include "unattended/unattended.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // The console instance, started by the launcher itself (internal; users never type it).
    if (argc >= 2 && strcmp(argv[1], kConsoleInstanceArgument) == 0) {
        return static_cast<int>(RunConsoleInstance(argc - 1, argv + 1));
    }
    LaunchOptions options;
    char problem[kLaunchPathSize + 64];
    int32_t status = ParseLaunchOptions(argc - 1, argv + 1, &options, problem, sizeof(problem));
    if (status == kOptionsHelp) {
        fputs(LaunchUsageText(), stdout);
        return kExitClean;
    }
    if (status != kOptionsOk) {
        fputs("purgekit-unattended: ", stderr);
        fputs(problem, stderr);
        fputs("\n", stderr);
        fputs(LaunchUsageText(), stderr);
        return kExitUsage;
    }
    return RunUnattended(options);
}
