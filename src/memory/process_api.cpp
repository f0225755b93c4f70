// The two process-listing back-ends, bound by name at run time: neither the process status
// library nor any Toolhelp function appears in the program's import table, so one program
// serves both platform families.
#include "memory/memory.h"

#include "run/system_library.h"

ProcessApi g_processApi = {};

// RETURNS 0 bound; -5 "KERNEL32.DLL" did not load; -8 an entry point is missing. All three
// are looked up even when an earlier one is missing.
int32_t LoadToolhelp()
{
    g_processApi.library = LoadLibraryA("KERNEL32.DLL");
    if (g_processApi.library == nullptr) {
        return kLoadNoKernel32;
    }
    HMODULE library = g_processApi.library;
    g_processApi.Process32First = LookUpEntryPoint<Process32FirstFn>(library, "Process32First");
    g_processApi.Process32Next = LookUpEntryPoint<Process32NextFn>(library, "Process32Next");
    g_processApi.CreateToolhelp32Snapshot =
        LookUpEntryPoint<CreateToolhelp32SnapshotFn>(library, "CreateToolhelp32Snapshot");
    if (g_processApi.Process32First == nullptr || g_processApi.Process32Next == nullptr ||
        g_processApi.CreateToolhelp32Snapshot == nullptr) {
        return kLoadMissingEntry;
    }
    return kLoadOk;
}

// RETURNS 0 bound; -4 "PSAPI.DLL" did not load; -8 an entry point is missing. All four are
// looked up even when an earlier one is missing. The library comes from the system folder
// only: a PSAPI.DLL beside the program would run with the administrator's rights.
int32_t LoadPsapi()
{
    g_processApi.library = LoadSystemLibrary("PSAPI.DLL");
    if (g_processApi.library == nullptr) {
        return kLoadNoPsapi;
    }
    HMODULE library = g_processApi.library;
    g_processApi.EnumProcesses = LookUpEntryPoint<EnumProcessesFn>(library, "EnumProcesses");
    g_processApi.EnumProcessModules =
        LookUpEntryPoint<EnumProcessModulesFn>(library, "EnumProcessModules");
    g_processApi.GetModuleBaseNameA =
        LookUpEntryPoint<GetModuleBaseNameAFn>(library, "GetModuleBaseNameA");
    g_processApi.GetModuleFileNameExA =
        LookUpEntryPoint<GetModuleFileNameExAFn>(library, "GetModuleFileNameExA");
    if (g_processApi.EnumProcesses == nullptr || g_processApi.EnumProcessModules == nullptr ||
        g_processApi.GetModuleBaseNameA == nullptr || g_processApi.GetModuleFileNameExA == nullptr) {
        return kLoadMissingEntry;
    }
    return kLoadOk;
}

void ReleaseProcessApi()
{
    if (g_processApi.library != nullptr) {
        FreeLibrary(g_processApi.library);
        g_processApi.library = nullptr;
    }
}
