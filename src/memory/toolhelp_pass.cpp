// The memory pass on Windows 95, 98 and ME: a Toolhelp snapshot lists the processes with
// their executable paths; a process is opened only once it is identified, for termination.
#include "memory/pass_steps.h"
#include "messages/messages.h"

#include "registry/registry.h"
#include "run/run.h"

#include <cstring>

namespace {

// Reports the scanning line and the verdict for one snapshot entry and, when it is
// identified, terminates the process and deletes its executable file. An entry whose path
// holds no backslash gets its scanning line and nothing more. The program's own process is
// reported like any other, but nothing is done to it.
void ExamineEntry(PROCESSENTRY32* entry, const SignatureEntry* set, uint32_t count,
                  const VariantRow& row, PassState* pass)
{
    entry->szExeFile[sizeof(entry->szExeFile) - 1] = '\0';   // used only within its buffer
    const char* path = entry->szExeFile;
    ReportComposed(kMsgScanningHead, path, "");
    const char* fileName = FileBaseName(path);
    if (fileName == nullptr) {
        return;
    }
    bool signatureMatch = false;
    if (IsVirusFileName(fileName)) {   // never scanned
        Report(row.virusFoundMessage);
    } else {
        if (ScanFileForSignatures(path, set, count) != kScanFound) {
            Report(kMsgNotFound);   // every other result alike
            return;
        }
        Report(row.wormFoundMessage);
        signatureMatch = true;
    }
    if (IsOwnProcess(entry->th32ProcessID)) {
        return;
    }
    if (signatureMatch && row.deleteServiceKeyOnMatch) {
        DeleteServiceKeyForFile(fileName);   // result not used
    }
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry->th32ProcessID);
    if (process == nullptr) {
        pass->result = kPassCannotOpen;
        return;
    }
    bool terminated = TerminateWithRetries(process, &pass->attempts);
    CloseHandle(process);   // before " (Terminated)"
    if (!terminated) {
        pass->result = kPassNotTerminated;
        return;
    }
    Report(kMsgTerminated);
    pass->result = DeleteExecutable(path);
}

}  // namespace

// RETURNS 0, -6, -9, -10 or -97: what happened to the last process identified (-6 for none,
// also when the snapshot cannot be taken or has no first entry).
int32_t CleanProcessesToolhelp(const SignatureEntry* set, uint32_t count, const VariantRow& row)
{
    PassState pass = {kPassNothingIdentified, 0};
    if (g_processApi.CreateToolhelp32Snapshot == nullptr ||
        g_processApi.Process32First == nullptr || g_processApi.Process32Next == nullptr) {
        return pass.result;
    }
    HANDLE snapshot = g_processApi.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE || snapshot == nullptr) {
        return pass.result;
    }
    PROCESSENTRY32 entry;
    memset(&entry, 0, sizeof(entry));
    entry.dwSize = sizeof(entry);   // the record's real size on every build
    if (g_processApi.Process32First(snapshot, &entry)) {
        do {
            ExamineEntry(&entry, set, count, row, &pass);
        } while (g_processApi.Process32Next(snapshot, &entry));
    }
    CloseHandle(snapshot);
    return pass.result;
}
