// The launcher starts its console instance: itself once more, with the internal first
// argument, in a new console whose window is hidden, so the cleaner gets a console that needs
// nobody's screen and whose input buffer nobody else writes to.
#include "unattended/unattended.h"

#include "run/run.h"

#include <windows.h>

#include <cstring>

namespace {

// Appends `text` to the command line, cut nowhere. RETURNS false when it does not fit.
bool AppendCommand(char* out, size_t size, size_t* used, const char* text)
{
    size_t length = strlen(text);
    if (length >= size - *used) {
        return false;
    }
    memcpy(out + *used, text, length + 1);
    *used += length;
    return true;
}

}  // namespace

// RETURNS kInstanceEnded, kInstanceNoOwnPath, kInstanceNotStarted or kInstanceNotEnded.
int32_t RunConsoleInstanceOf(const char* workFolder, const char* captureName,
                             uint32_t timeoutSeconds, uint32_t* exitCode, uint32_t* error)
{
    *exitCode = 0;
    *error = 0;
    char ownPath[kLaunchPathSize];
    if (!GetOwnPath(ownPath, sizeof(ownPath))) {
        return kInstanceNoOwnPath;
    }
    char seconds[16] = {};
    AppendDecimal(seconds, sizeof(seconds), static_cast<int32_t>(timeoutSeconds));

    // "OWN PATH" --internal-console-instance SECONDS CAPTURE: a path holds no quotation mark,
    // and the capture's name no blank.
    char commandLine[2 * kLaunchPathSize + 64];
    size_t used = 0;
    commandLine[0] = '\0';
    bool fits = AppendCommand(commandLine, sizeof(commandLine), &used, "\"") &&
                AppendCommand(commandLine, sizeof(commandLine), &used, ownPath) &&
                AppendCommand(commandLine, sizeof(commandLine), &used, "\" ") &&
                AppendCommand(commandLine, sizeof(commandLine), &used, kConsoleInstanceArgument) &&
                AppendCommand(commandLine, sizeof(commandLine), &used, " ") &&
                AppendCommand(commandLine, sizeof(commandLine), &used, seconds) &&
                AppendCommand(commandLine, sizeof(commandLine), &used, " ") &&
                AppendCommand(commandLine, sizeof(commandLine), &used, captureName);
    if (!fits) {
        return kInstanceNoOwnPath;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(ownPath, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        workFolder, &startup, &process)) {
        *error = GetLastError();
        return kInstanceNotStarted;
    }
    CloseHandle(process.hThread);
    DWORD limit = (timeoutSeconds + kInstanceGraceSeconds) * 1000u;
    int32_t status = kInstanceEnded;
    if (WaitForSingleObject(process.hProcess, limit) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        status = kInstanceNotEnded;
    } else {
        DWORD code = 0;
        if (!GetExitCodeProcess(process.hProcess, &code)) {
            *error = GetLastError();
        }
        *exitCode = code;
    }
    CloseHandle(process.hProcess);
    return status;
}
