// The console instance: the second, hidden instance of the launcher that owns a new console.
// It queues the key presses there, starts the cleaner from the launcher's folder with the
// current folder it was given and the cleaner's output going to the capture file, ends it at
// the timeout, and reports through its exit code.
#include "unattended/unattended.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kEndAfterTerminateMs = 10000;

// A capture file name made by the launcher: a plain name in the current folder.
bool IsPlainFileName(const char* name)
{
    if (name[0] == '\0' || strlen(name) >= kLaunchPathSize) {
        return false;
    }
    return strpbrk(name, "\\/:\"*?<>|") == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

bool ParseInternalSeconds(const char* text, uint32_t* seconds)
{
    uint32_t value = 0;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] < '0' || text[i] > '9' || value > kMaxTimeoutSeconds) {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (value == 0 || value > kMaxTimeoutSeconds) {
        return false;
    }
    *seconds = value;
    return true;
}

// Starts the cleaner and waits for it. RETURNS kConsoleCleanerEnded, kConsoleNoCapture,
// kConsoleCleanerNotStarted or kConsoleTimedOut (`error`: the failing call's error number).
int32_t RunCleaner(const char* cleanerPath, const char* currentFolder, const char* capturePath,
                   uint32_t seconds, uint32_t* error)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE capture = CreateFileA(capturePath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (capture == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return kConsoleNoCapture;
    }
    // Standard input is the console, as in an interactive run (the key waits read the console
    // itself either way).
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                               nullptr);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input == INVALID_HANDLE_VALUE ? nullptr : input;
    startup.hStdOutput = capture;
    startup.hStdError = capture;
    char commandLine[kLaunchPathSize + 3];
    commandLine[0] = '"';
    memcpy(commandLine + 1, cleanerPath, strlen(cleanerPath));
    commandLine[strlen(cleanerPath) + 1] = '"';
    commandLine[strlen(cleanerPath) + 2] = '\0';
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    int32_t status = kConsoleCleanerEnded;
    if (!CreateProcessA(cleanerPath, commandLine, nullptr, nullptr, TRUE, 0, nullptr,
                        currentFolder, &startup, &process)) {
        *error = GetLastError();
        status = kConsoleCleanerNotStarted;
    } else {
        CloseHandle(process.hThread);
        DWORD waited = WaitForSingleObject(process.hProcess, seconds * 1000u);
        if (waited != WAIT_OBJECT_0) {
            *error = waited == WAIT_FAILED ? GetLastError() : 0;
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, kEndAfterTerminateMs);
            status = kConsoleTimedOut;
        }
        CloseHandle(process.hProcess);
    }
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    CloseHandle(capture);
    return status;
}

}  // namespace

int32_t RunCleanerInConsole(const char* cleanerPath, const char* currentFolder,
                            const char* capturePath, uint32_t seconds, uint32_t* error)
{
    *error = 0;
    if (strlen(cleanerPath) >= kLaunchPathSize) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return kConsoleCleanerNotStarted;
    }
    int32_t status = QueueKeyPresses(error);
    if (status == kConsoleCleanerEnded) {
        status = RunCleaner(cleanerPath, currentFolder, capturePath, seconds, error);
    }
    return status;
}

uint32_t ComposeConsoleReport(int32_t status, uint32_t error)
{
    return kConsoleReportTag | ((error & kConsoleReportErrorMask) << 8) |
           (static_cast<uint32_t>(status) & 0xFFu);
}

bool DecodeConsoleReport(uint32_t exitCode, int32_t* status, uint32_t* error)
{
    if ((exitCode & kConsoleReportTagMask) != kConsoleReportTag) {
        return false;
    }
    *status = static_cast<int32_t>(exitCode & 0xFFu);
    *error = (exitCode >> 8) & kConsoleReportErrorMask;
    return true;
}

uint32_t RunConsoleInstance(int count, const char* const* arguments)
{
    uint32_t seconds = 0;
    if (count != 3 || strcmp(arguments[0], kConsoleInstanceArgument) != 0 ||
        !ParseInternalSeconds(arguments[1], &seconds) || !IsPlainFileName(arguments[2])) {
        return ComposeConsoleReport(kConsoleBadArguments, 0);
    }
    char cleanerPath[kLaunchPathSize];
    char folder[kLaunchPathSize];
    if (!GetOwnFolder(folder, sizeof(folder)) ||
        !JoinPath(cleanerPath, sizeof(cleanerPath), folder, kCleanerFileName)) {
        return ComposeConsoleReport(kConsoleCleanerNotStarted, ERROR_FILENAME_EXCED_RANGE);
    }
    uint32_t error = 0;
    int32_t status = RunCleanerInConsole(cleanerPath, nullptr, arguments[2], seconds, &error);
    return ComposeConsoleReport(status, error);
}
