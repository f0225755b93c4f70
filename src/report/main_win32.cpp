// purgekit-report.exe: the wide command line (wmain, from the C runtime's own parsing) as
// UTF-8, the way every name is kept.
#include "report/report.h"
#include "sweep/wide_path_win32.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.push_back(WideToUtf8(argv[index], wcslen(argv[index])));
    }
    return ReportMain(arguments);
}
