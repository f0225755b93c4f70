// The memory pass on the NT family: the process status library lists the process
// identifiers; each process is opened, named by its executable module and scanned, and when
// it is identified it is terminated and its executable file deleted.
#include "memory/pass_steps.h"
#include "messages/messages.h"

#include "registry/registry.h"
#include "run/run.h"

namespace {

struct ModuleNames {
    char baseName[kPathSize];
    char fullPath[kPathSize];
};

// Opens a process for examination. When the first open is refused, enables SeDebugPrivilege
// in the program's own token (opened and closed here, again for every such process) and
// asks for all access. RETURNS the process handle, or null: the process is then passed over.
HANDLE OpenForExamination(DWORD processId)
{
    HANDLE process = OpenProcess(kExamineAccess, FALSE, processId);
    if (process != nullptr) {
        return process;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), kTokenAccess, &token)) {
        return nullptr;
    }
    int enabled = SetPrivilege(token, kDebugPrivilege, 1);
    CloseHandle(token);
    if (enabled == 0) {
        return nullptr;
    }
    return OpenProcess(kAllAccess, FALSE, processId);
}

// Ends a module name at the length the platform reports for it.
// RETURNS false when there is no name or it may have been cut: a cut path could name another
// file. Windows XP reports a cut name as the whole buffer (260), Windows Vista and later
// (where the 32-bit program runs under WoW64) as one less (259), so both count as cut.
bool TakeName(DWORD length, char* name, size_t size)
{
    if (length == 0 || length >= size - 1) {
        return false;
    }
    name[length] = '\0';
    return true;
}

// The process's executable module, the first of its modules (room for one handle only),
// and its base name and full path. RETURNS false when any of them cannot be read.
bool ReadModuleNames(HANDLE process, ModuleNames* names)
{
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!g_processApi.EnumProcessModules(process, &module, sizeof(module), &needed)) {
        return false;
    }
    DWORD baseLength = g_processApi.GetModuleBaseNameA(process, module, names->baseName,
                                                       sizeof(names->baseName));
    DWORD fullLength = g_processApi.GetModuleFileNameExA(process, module, names->fullPath,
                                                         sizeof(names->fullPath));
    bool haveBase = TakeName(baseLength, names->baseName, sizeof(names->baseName));
    bool haveFull = TakeName(fullLength, names->fullPath, sizeof(names->fullPath));
    return haveBase && haveFull;
}

// The verdict for a scan that did not find the variant. An error code other than -1 and -25
// is followed by the pass's current result (not the scan's code) in the "%i Files" form.
void ReportNotIdentified(ScanResult scan, int32_t passResult)
{
    switch (scan) {
    case kScanNotFound:
        Report(kMsgNotFound);
        break;
    case kScanCannotOpen:
        Report(kMsgFileLocked);
        break;
    case kScanSkipped:
        Report(kMsgSkipped);
        break;
    default:
        Report(kMsgUnknownError);
        LogCount(passResult);
        break;
    }
}

// Reports the scanning line and the verdict for one opened process and, when it is
// identified, terminates it and deletes its executable file. Its own process is reported
// like any other, but nothing is done to it.
void ExamineModule(HANDLE process, DWORD processId, const ModuleNames& names,
                   const SignatureEntry* set, uint32_t count, const VariantRow& row,
                   PassState* pass)
{
    ReportComposed(kMsgScanningHead, names.fullPath, "");
    bool signatureMatch = false;
    if (IsVirusFileName(names.baseName)) {   // never scanned
        Report(row.virusFoundMessage);
    } else {
        ScanResult scan = ScanFileForSignatures(names.fullPath, set, count);
        if (scan != kScanFound) {
            ReportNotIdentified(scan, pass->result);
            return;
        }
        Report(row.wormFoundMessage);
        signatureMatch = true;
    }
    if (IsOwnProcess(processId)) {
        return;
    }
    if (signatureMatch && row.deleteServiceKeyOnMatch) {
        DeleteServiceKeyForFile(names.baseName);   // result not used
    }
    if (!TerminateWithRetries(process, &pass->attempts)) {
        pass->result = kPassNotTerminated;
        return;
    }
    Report(kMsgTerminated);
    pass->result = DeleteExecutable(names.fullPath);
}

// A process that cannot be opened, or whose module or names cannot be read, is passed over
// without a message. The process handle is closed after everything else.
void ExamineProcess(DWORD processId, const SignatureEntry* set, uint32_t count,
                    const VariantRow& row, PassState* pass)
{
    HANDLE process = OpenForExamination(processId);
    if (process == nullptr) {
        return;
    }
    ModuleNames names = {};
    if (ReadModuleNames(process, &names)) {
        ExamineModule(process, processId, names, set, count, row, pass);
    }
    CloseHandle(process);
}

}  // namespace

// RETURNS 0, -6, -10 or -97: what happened to the last process identified (-6 for none,
// also when the process list cannot be read or is empty).
int32_t CleanProcessesPsapi(const SignatureEntry* set, uint32_t count, const VariantRow& row)
{
    PassState pass = {kPassNothingIdentified, 0};
    if (g_processApi.EnumProcesses == nullptr || g_processApi.EnumProcessModules == nullptr ||
        g_processApi.GetModuleBaseNameA == nullptr ||
        g_processApi.GetModuleFileNameExA == nullptr) {
        return pass.result;
    }
    DWORD ids[kMaxProcessIds] = {};
    DWORD bytes = 0;
    if (!g_processApi.EnumProcesses(ids, sizeof(ids), &bytes)) {
        return pass.result;
    }
    size_t listed = bytes / sizeof(DWORD);   // only the identifiers that fit are visited
    if (listed > kMaxProcessIds) {
        listed = kMaxProcessIds;
    }
    for (size_t i = 0; i < listed; ++i) {
        ExamineProcess(ids[i], set, count, row, &pass);
    }
    return pass.result;
}
