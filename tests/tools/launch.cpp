// Test tool: starts Windows programs for the acceptance scenarios and tells about processes.
//   launch.exe PROGRAM [ARGS...]        starts PROGRAM, waits until it runs (its executable
//                                       can be named through the process status library),
//                                       prints "started" and ends; PROGRAM goes on running
//   launch.exe /then NEXT PROGRAM [ARGS...]
//                                       the same, then stays until PROGRAM has ended and
//                                       starts "NEXT /idle" (NEXT: a copy of this tool)
//   launch.exe /running NAME            exit code 0 and "running" when a process whose
//                                       executable file is named NAME (letter case ignored)
//                                       runs, 1 and "not running" when none does, 2 when the
//                                       processes cannot be listed
//   launch.exe /idle                    does nothing until it is ended
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The executable file name of a process, or "" when it cannot be read.
std::string ProcessFileName(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) {
        return "";
    }
    HMODULE module = nullptr;
    DWORD needed = 0;
    char name[MAX_PATH] = {};
    if (EnumProcessModules(process, &module, sizeof(module), &needed)) {
        GetModuleBaseNameA(process, module, name, sizeof(name) - 1);
    }
    CloseHandle(process);
    return name;
}

bool Runs(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    HMODULE module = nullptr;
    DWORD needed = 0;
    char path[MAX_PATH] = {};
    bool named = EnumProcessModules(process, &module, sizeof(module), &needed) &&
                 GetModuleFileNameExA(process, module, path, sizeof(path) - 1) != 0;
    CloseHandle(process);
    return named;
}

// Starts a program as it is named, as on a 32-bit Windows with its single system folder: a
// 32-bit copy of this tool under WoW64 turns the system folder's redirection off for the
// start, so C:\windows\system32\NAME is the image's own path (the scenarios link it to the
// file in syswow64), not the syswow64 path that the redirection would give it.
BOOL CreateProcessAsNamed(char* commandLine, STARTUPINFOA* startup, PROCESS_INFORMATION* info)
{
    using Disable = BOOL(WINAPI*)(void**);
    using Revert = BOOL(WINAPI*)(void*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto disable = reinterpret_cast<Disable>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    auto revert = reinterpret_cast<Revert>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    void* saved = nullptr;
    bool disabled = disable != nullptr && revert != nullptr && disable(&saved);
    BOOL created = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, startup, info);
    DWORD error = GetLastError();
    if (disabled) {
        revert(saved);
    }
    SetLastError(error);
    return created;
}

// Starts a program and waits (at most 30 s) until it runs. RETURNS its process handle.
HANDLE Start(std::string commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessAsNamed(&commandLine[0], &startup, &info)) {
        fprintf(stderr, "launch: cannot start %s (error %lu)\n", commandLine.c_str(),
                GetLastError());
        return nullptr;
    }
    CloseHandle(info.hThread);
    for (int i = 0; i < 1500 && !Runs(info.dwProcessId); ++i) {
        Sleep(20);
    }
    if (!Runs(info.dwProcessId)) {
        fprintf(stderr, "launch: %s does not run\n", commandLine.c_str());
        CloseHandle(info.hProcess);
        return nullptr;
    }
    return info.hProcess;
}

std::string Quoted(const char* argument)
{
    return std::string("\"") + argument + "\"";
}

int RunningMode(const char* name)
{
    DWORD ids[4096] = {};
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof(ids), &bytes)) {
        printf("error EnumProcesses %lu\n", GetLastError());
        return 2;
    }
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (_stricmp(ProcessFileName(ids[i]).c_str(), name) == 0) {
            puts("running");
            return 0;
        }
    }
    puts("not running");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "/idle") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "/running") == 0) {
        return RunningMode(argv[2]);
    }
    int first = 1;
    const char* next = nullptr;
    if (argc >= 4 && strcmp(argv[1], "/then") == 0) {
        next = argv[2];
        first = 3;
    }
    if (argc <= first) {
        fputs("usage: launch.exe [/then NEXT] PROGRAM [ARGS...] | /running NAME | /idle\n", stderr);
        return 2;
    }
    std::string commandLine = Quoted(argv[first]);
    for (int i = first + 1; i < argc; ++i) {
        commandLine += " " + Quoted(argv[i]);
    }
    HANDLE process = Start(commandLine);
    if (process == nullptr) {
        return 1;
    }
    puts("started");
    fflush(stdout);
    if (next != nullptr) {
        WaitForSingleObject(process, INFINITE);
        HANDLE second = Start(Quoted(next) + " /idle");
        if (second == nullptr) {
            return 1;
        }
        CloseHandle(second);
        puts("started next");
        fflush(stdout);
    }
    CloseHandle(process);
    return 0;
}
