// purgekit-scan: the sweep for dormant copies of the worm on disks and shares.
#include "sweep/sweep.h"
#include "sweep/sweep_platform.h"

#include <cstring>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments;
    CommandLineArguments(argc, argv, &arguments);
    SweepOptions options;
    std::string problem;
    int32_t status = ParseOptions(arguments, &options, &problem);
    if (status == kOptionsHelp || status == kOptionsVersion) {
        const char* text = status == kOptionsHelp ? UsageText() : VersionText();
        WriteStream(1, text, std::strlen(text));
        return kExitClean;
    }
    if (status != kOptionsOk) {
        std::string message = "purgekit-scan: " + problem + "\n";
        WriteStream(2, message.data(), message.size());
        WriteStream(2, UsageText(), std::strlen(UsageText()));
        return kExitError;
    }
    return RunSweep(options);
}
