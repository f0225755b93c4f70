// The cleaner's message texts, in one place: the cleaning run writes them to its console and
// log, and every program that reads those logs and transcripts recognises them from here, so
// that no text exists twice. Plain C++ without any platform header: the log readers are built
// for Linux as well as for Windows.
//
// Messages carry their own line breaks, as a rule at the front; a message without one continues
// the line before it. Heads and tails surround a part the run fills in (a path, a name).
#pragma once

// ---- Lines of the log's frame ------------------------------------------------------------
// The start line: this head, then the version as "2.00".
constexpr char kMsgStartHead[] = "\n\n========================\nStart : PURGEKIT version ";
constexpr char kMsgPlatformHead[] = "\nWindows Platform : ";   // then the platform's name
constexpr char kMsgDateTimeHead[] = "\nDate and Time: ";       // then "Wed Apr 03 09:05:03 2002"
constexpr char kMsgStop[] = "\nStop\n========================";

// ---- The two key prompts (console only) ----------------------------------------------------
constexpr char kMsgIntroPrompt[] = " \n Press any key to continue....\n";
constexpr char kMsgClosingPrompt[] = " \n Press any key to continue ....\n";

// ---- The service stage --------------------------------------------------------------------
constexpr char kMsgServiceHeader[] = "\n\nStopping/Removing Worm/Virus services!";
constexpr char kMsgKernelSvcStopped[] = "\n\t Virus Service \"KernelSvc\" stopped.";
constexpr char kMsgKrn132Stopped[] = "\n\t Worm Service \"Krn132\" stopped.";
constexpr char kMsgWinSvcStopped[] = "\n\t Worm Service \"WinSvc\" stopped.";
constexpr char kMsgServicesNotFound[] = "\n\t Worm/Virus services not found!.";
constexpr char kMsgKernelSvcKeyDeleted[] =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\KernelSvc\" deleted";
constexpr char kMsgKrn132KeyDeleted[] =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Krn132\" deleted";
constexpr char kMsgWinSvcKeyDeleted[] =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\WinSvc\" deleted";
// Variant E's service key, named after the worm file's base name: head, base name, tail.
constexpr char kMsgServiceKeyForFileHead[] =
    "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kMsgServiceKeyForFileTail[] = "\\ deleted";

// ---- The memory stage ---------------------------------------------------------------------
constexpr char kMsgMemoryHeaderA[] = "\n\nTerminating Worm/Virus processes for TROJ_VORN.A! ";
constexpr char kMsgMemoryHeaderC[] = "\n\nTerminating Worm/Virus processes for TROJ_VORN.C! ";
constexpr char kMsgMemoryHeaderE[] = "\n\nTerminating Worm/Virus processes for TROJ_VORN.E! ";
constexpr char kMsgScanningHead[] = "\n\t Scanning ";   // then the executable's full path
constexpr char kMsgFoundWormA[] = " ---> found TROJ_VORN.A";
constexpr char kMsgFoundWormC[] = " ---> found TROJ_VORN.C";
constexpr char kMsgFoundWormE[] = " ---> found TROJ_VORN.E";
constexpr char kMsgFoundVirusA[] = " ---> found PE_QUILMO.A";   // passes A and C
constexpr char kMsgFoundVirusB[] = " ---> found PE_QUILMO.B";   // pass E
constexpr char kMsgNotFound[] = " ---> Not found";
constexpr char kMsgFileLocked[] = " ---> file locked";
constexpr char kMsgSkipped[] = " ---> skipped";
constexpr char kMsgUnknownError[] = " ---> unknown error ";   // then a number and " Files"
constexpr char kMsgCountTail[] = " Files";
constexpr char kMsgTerminated[] = " (Terminated)";
constexpr char kMsgFileDeletedHead[] = "\n\t File ";   // then the full path
constexpr char kMsgFileDeletedTail[] = " deleted";
constexpr char kMsgErrorDeletingHead[] = "\n\t Error deleting ";   // then the full path

// ---- The registry stage -------------------------------------------------------------------
constexpr char kMsgRegistryHeader[] = "\n\nCleaning System Registry!";
constexpr char kMsgRunKrn132Found[] =
    "\n\t TROJ_VORN.A found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\krn132\"";
constexpr char kMsgRunKrn132NotFound[] = "\n\t TROJ_VORN.A not found in the SYSTEM REGISTRY";
constexpr char kMsgRunWqkFound[] =
    "\n\t PE_QUILMO.A/B found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\wqk\"";
constexpr char kMsgAppInitFound[] =
    "\n\t PE_QUILMO.A/B found in the "
    "\"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\AppInit_DLLs\"";
constexpr char kMsgRunWinSvcFound[] =
    "\n\t TROJ_VORN.C found in the \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\WinSvc\"";
constexpr char kMsgRunWinSvcNotFound[] = "\n\t TROJ_VORN.C not found in the SYSTEM REGISTRY";
constexpr char kMsgRemoved[] = "---> Removed";

// ---- The dropped-file stage ---------------------------------------------------------------
constexpr char kMsgDroppedHeader[] = "\n\nRemoving drop files!";
// head, the file's full path, tail, then one of the three outcomes.
constexpr char kMsgDroppedFileHead[] = "\n\t File \"";
constexpr char kMsgDroppedFileTail[] = "\" ";
constexpr char kMsgDroppedNotFound[] = "not found";
constexpr char kMsgDroppedDeleted[] = "deleted";
constexpr char kMsgDroppedDeleteFailed[] = "delete failed";
// The four dropped files of the system folder, in the order the stage removes them.
constexpr const char* kDroppedFileNames[4] = {"krn132.exe", "wqk.exe", "wqk.dll", "WinSvc.exe"};

// ---- Inoculation --------------------------------------------------------------------------
constexpr char kMsgInoculationHeader[] = "\n\nInoculating the system!";
constexpr char kMsgKrn132FolderCreated[] = "\n\t Folder \"Krn132.exe\" created.";
constexpr char kMsgKrn132FolderExists[] = "\n\t Folder \"Krn132.exe\" already exists.";
constexpr char kMsgWqkExeFolderCreated[] = "\n\t Folder \"Wqk.exe\" created.";
constexpr char kMsgWqkExeFolderExists[] = "\n\t Folder \"Wqk.exe\" already exists";   // no stop
constexpr char kMsgWqkDllFolderCreated[] = "\n\t Folder \"Wqk.dll\" created.";
constexpr char kMsgWqkDllFolderExists[] = "\n\t Folder \"Wqk.dll\" already exists.";
constexpr char kMsgWinSvcFolderCreated[] = "\n\t Folder \"WinSvc.exe\" created.";
constexpr char kMsgWinSvcFolderExists[] = "\n\t Folder \"WinSvc.exe\" already exists.";
constexpr char kMsgInoculated[] = "\n\tSystem Inoculated";
constexpr char kMsgAlreadyInoculated[] = "\n System already inoculated!";
// Console only.
constexpr char kMsgRebootAdvice[] =
    "\n\n Please reboot your system and run the tool again. Using the latest pattern, scan your "
    "computer and clean all files detected as PE_QUILMO.A";
