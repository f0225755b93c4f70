#include "memory/pass_steps.h"
#include "messages/messages.h"

#include "run/run.h"

void ReportComposed(const char* head, const char* argument, const char* tail)
{
    char message[kPassMessageSize] = {};
    ComposeText(message, sizeof(message), head, argument, tail);
    Report(message);
}

bool IsOwnProcess(DWORD processId)
{
    return processId == GetCurrentProcessId();
}

bool TerminateWithRetries(HANDLE process, uint32_t* attempts)
{
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);   // STILL_ACTIVE for a running process
    for (;;) {
        bool terminated = TerminateProcess(process, exitCode) != FALSE;
        ++*attempts;
        Sleep(kTerminateWaitMs);
        if (terminated) {
            return true;
        }
        if (*attempts > kTerminateAttemptLimit) {
            return false;
        }
    }
}

int32_t DeleteExecutable(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);   // read-only files too; result not tested
    if (DeleteFileA(path)) {
        ReportComposed(kMsgFileDeletedHead, path, kMsgFileDeletedTail);
        return kPassCleaned;
    }
    ReportComposed(kMsgErrorDeletingHead, path, "");
    return kPassNotDeleted;
}
