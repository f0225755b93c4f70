// purgekit-report on Linux: the arguments are bytes, as the file names are.
#include "report/report.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.push_back(argv[index]);
    }
    return ReportMain(arguments);
}
