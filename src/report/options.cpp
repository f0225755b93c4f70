// The command line: purgekit-report [-o OUT_DIR] RESULTS_DIR...
#include "report/report.h"

int32_t ParseReportOptions(const std::vector<std::string>& arguments, ReportOptions* options,
                           std::string* problem)
{
    bool optionsEnded = false;
    bool haveOut = false;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options->resultsFolders.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return kOptionsHelp;
        } else if (argument == "--version") {
            return kOptionsVersion;
        } else if (argument == "-o" || argument == "--out") {
            if (index + 1 >= arguments.size()) {
                *problem = "option " + argument + " needs a value";
                return kOptionsUsage;
            }
            options->outFolder = arguments[++index];
            haveOut = true;
        } else if (argument.compare(0, 6, "--out=") == 0) {
            options->outFolder = argument.substr(6);
            haveOut = true;
        } else if (argument.compare(0, 2, "-o") == 0) {   // "-oDIR"
            options->outFolder = argument.substr(2);
            haveOut = true;
        } else {
            *problem = "unknown option " + argument;
            return kOptionsUsage;
        }
    }
    if (haveOut && options->outFolder.empty()) {
        *problem = "the output folder is empty";
        return kOptionsUsage;
    }
    if (options->resultsFolders.empty()) {
        *problem = "no results folder given";
        return kOptionsUsage;
    }
    for (const std::string& folder : options->resultsFolders) {
        if (folder.empty()) {
            *problem = "a results folder is empty";
            return kOptionsUsage;
        }
    }
    return kOptionsOk;
}

const char* ReportUsageText()
{
    return "Usage: purgekit-report [-o OUT_DIR] RESULTS_DIR...\n"
           "Reads the results folders of the unattended runs and the sweeps (one folder per\n"
           "machine) and writes report.html, hosts.csv, runs.jsonl and findings.jsonl.\n"
           "\n"
           "  -o DIR, --out DIR  where the report goes (default: purgekit-report); never a\n"
           "                     results folder or a folder inside one\n"
           "      --help         print this text\n"
           "      --version      print the version\n"
           "\n"
           "Exit code: 0 every machine clean, 1 some machine not clean, 2 a usage error or\n"
           "an input that could not be read.\n";
}

const char* ReportVersionText()
{
    return "purgekit-report 2.00\n";
}
