// The two boxed banners and their key waits. Every box line is 78 characters wide.
#include "messages/messages.h"
#include "run/run.h"

#include <conio.h>

#include <cstdio>

namespace {

const char* const kIntroHead =
    "\n +===========================================================================+\n";
// The version line: the head, the version as "%2.2f" writes it, the tail.
const char* const kIntroVersionHead = " |                             PURGEKIT Version ";
const char* const kIntroVersionTail = "                         |\n";
const char* const kIntroLines[] = {
    " |                   Copyright (C) 2002 PurgeKit Labs. All rights reserved.  |\n",
    " |                            http://www.purgekit.example                    |\n",
    " +===========================================================================+\n",
    " |                                                                           |\n",
    " |  1.  Scan and remove TROJ_VORN (variants A, C, E) & PE_QUILMO             |\n",
    " |      (variants A, B) from memory.                                         |\n",
    " |                                                                           |\n",
    " |  2.  Remove worm's registry entries                                       |\n",
    " |          a. HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\krn132     |\n",
    " |          b. HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\wqk        |\n",
    " |          c. HKLM\\SYSTEM\\CurrentControlSet\\Services\\KernelSvc\\             |\n",
    " |          d. HKLM\\SYSTEM\\CurrentControlSet\\Services\\Krn132\\                |\n",
    " |          e. HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSvc\\                |\n",
    " |                                                                           |\n",
    " |      For TROJ_VORN.C:                                                     |\n",
    " |          f. HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\WinSvc     |\n",
    " |      For TROJ_VORN.E:                                                     |\n",
    " |          g. HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Wink*      |\n",
    " |                                                                           |\n",
    " |  3.  Remove the following dropped files from the System directory.        |\n",
    " |             krn132.exe,   wqk.exe,   wqk.dll,    winsvc.exe               |\n",
    " |                                                                           |\n",
    " +===========================================================================+",
    kMsgIntroPrompt,
};

const char* const kClosingHead =
    "\n\n\n +===========================================================================+\n"
    " |  For the details of this virus, visit                                     |\n";
const char* const kClosingAddressLine =
    " |           http://www.purgekit.example/scanpedia/vinfo/                    |\n";
const char* const kClosingPageLines[] = {
    " |                virusencyclo/default5.asp?VName=TROJ_VORN.A                |\n",
    " |                virusencyclo/default5.asp?VName=TROJ_VORN.C                |\n",
    " |                virusencyclo/default5.asp?VName=TROJ_VORN.E                |\n",
    " |                virusencyclo/default5.asp?VName=PE_QUILMO.A                |\n",
    " |                virusencyclo/default5.asp?VName=PE_QUILMO.B                |\n",
};
const char* const kClosingTail =
    " |                                                                           |\n"
    " +===========================================================================+";

// _getch gives a function or arrow key as two codes: this lead code, then the key's own.
bool IsExtendedKeyLead(int code)
{
    return code == 0 || code == 0xE0;
}

// Reads one key press from the console itself (not standard input), without echo. Every
// stream is flushed before and after, so the prompt is on screen and typed-ahead input is
// dropped. Both codes of a function or arrow key are read, so that its second code cannot
// answer the next key wait.
void WaitForKey()
{
    _flushall();
    if (IsExtendedKeyLead(_getch())) {
        _getch();
    }
    _flushall();
}

}  // namespace

// Each box goes out whole: its lines are kept in the console buffer and the last one flushes.
void ShowIntroBanner()
{
    PrintToConsole(kIntroHead);
    char versionLine[kPathSize] = {};
    CopyText(versionLine, sizeof(versionLine), kIntroVersionHead);
    AppendVersion(versionLine, sizeof(versionLine));
    AppendText(versionLine, sizeof(versionLine), kIntroVersionTail);
    PrintToConsole(versionLine);
    for (const char* line : kIntroLines) {
        PrintToConsole(line);
    }
    WaitForKey();
}

void ShowClosingBanner()
{
    ShowOnConsole(kMsgClosingPrompt);
    WaitForKey();
    PrintToConsole(kClosingHead);
    for (const char* pageLine : kClosingPageLines) {
        PrintToConsole(kClosingAddressLine);
        PrintToConsole(pageLine);
    }
    ShowOnConsole(kClosingTail);
}
