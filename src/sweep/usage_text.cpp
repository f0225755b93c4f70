#include "sweep/sweep.h"

const char* UsageText()
{
    return "Usage: purgekit-scan [options] PATH...\n"
           "Finds files of TROJ_VORN.A, .C and .E: files are scanned, folders walked.\n"
           "\n"
           "  -f FILE, --file-list FILE  paths to scan, one per line (\"-\": standard input)\n"
           "  -j N, --threads N          scanning threads, 1 to 64 (default: 32 or the cores, if\n"
           "                             more; on Windows the cores)\n"
           "  -i, --infected             print only the files found\n"
           "      --json                 JSON Lines on stdout instead of text\n"
           "  -q, --quiet                no OK lines, no summary, no progress\n"
           "      --exclude GLOB         skip paths whose full path or name matches (repeatable)\n"
           "      --follow-symlinks      follow symbolic links\n"
           "      --one-file-system      stay on the file system of each folder given\n"
           "      --move DIR             move found files into the quarantine folder DIR\n"
           "      --remove               delete found files\n"
           "      --read-offline         read files whose data is not on the disk too (Windows:\n"
           "                             cloud and archive placeholders, which reading recalls)\n"
           "      --help                 print this text\n"
           "      --version              print the version\n"
           "\n"
           "Exit code: 0 nothing found, 1 something found, 2 an error and nothing found.\n";
}

const char* VersionText()
{
    return "purgekit-scan 2.00\n";
}
