// Memory cleaning: the process-listing back-ends bound at run time (the process status
// library on the NT family, Toolhelp on Windows 95/98/ME) and the three variant passes.
#pragma once

#include "detect/detect.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>

// Entry points with the platform's published signatures. None is imported at build time.
using CreateToolhelp32SnapshotFn = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using Process32FirstFn = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using Process32NextFn = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using EnumProcessesFn = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE process, HMODULE* modules, DWORD bytes,
                                           DWORD* bytesNeeded);
using GetModuleBaseNameAFn = DWORD(WINAPI*)(HANDLE process, HMODULE module, char* name,
                                            DWORD size);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE process, HMODULE module, char* name,
                                              DWORD size);

// The one process-wide record of the bound back-end. `library` is null while none is loaded.
// The loaders write it; CleanProcesses releases `library` after its pass. The entry points
// are valid only from a successful load until that release.
struct ProcessApi {
    HMODULE library;
    CreateToolhelp32SnapshotFn CreateToolhelp32Snapshot;
    Process32FirstFn Process32First;
    Process32NextFn Process32Next;
    EnumProcessesFn EnumProcesses;
    EnumProcessModulesFn EnumProcessModules;
    GetModuleBaseNameAFn GetModuleBaseNameA;
    GetModuleFileNameExAFn GetModuleFileNameExA;
};

extern ProcessApi g_processApi;

// Loader results.
constexpr int32_t kLoadOk = 0;
constexpr int32_t kLoadNoPsapi = -4;
constexpr int32_t kLoadNoKernel32 = -5;
constexpr int32_t kLoadMissingEntry = -8;

// Loads "KERNEL32.DLL" and looks up Process32First, Process32Next, CreateToolhelp32Snapshot.
// RETURNS 0 all found; -5 the library did not load (`library` null); -8 an entry point is
// missing (the library stays loaded for the caller to release).
int32_t LoadToolhelp();
// Loads "PSAPI.DLL" from the system folder and looks up EnumProcesses, EnumProcessModules,
// GetModuleBaseNameA, GetModuleFileNameExA. RETURNS 0 all found; -4 the library did not load;
// -8 as above.
int32_t LoadPsapi();
// Releases `library` when one is loaded and clears it.
void ReleaseProcessApi();

// Enables (enable non-zero) or disables one named privilege in a token opened with
// TOKEN_ADJUST_PRIVILEGES; the token is neither opened nor closed here.
// RETURNS 1 when the adjustment was made in full, 0 otherwise (unknown name, not held).
int SetPrivilege(HANDLE token, const char* name, int enable);

// The file name after the last backslash of `path` (a pointer into it), an empty name when
// the path ends in a backslash, null when it holds no backslash (or no path is given).
const char* FileBaseName(const char* path);

// Whether `name` is the file infector's file name "wqk.exe", ASCII letter case ignored.
bool IsVirusFileName(const char* name);

// What one variant's pass uses.
struct VariantRow {
    const char* wormFoundMessage;    // e.g. " ---> found TROJ_VORN.A"
    const char* virusFoundMessage;   // for a file named "wqk.exe"
    bool deleteServiceKeyOnMatch;    // variant E
};

extern const VariantRow kVariantRowA;
extern const VariantRow kVariantRowC;
extern const VariantRow kVariantRowE;

// Pass results: what happened to the last process identified.
constexpr int32_t kPassCleaned = 0;
constexpr int32_t kPassBadArguments = -2;
constexpr int32_t kPassNoVersion = -3;
constexpr int32_t kPassNoPsapi = -4;
constexpr int32_t kPassNoToolhelp = -5;
constexpr int32_t kPassNothingIdentified = -6;
constexpr int32_t kPassCannotOpen = -9;
constexpr int32_t kPassNotTerminated = -10;
constexpr int32_t kPassNotDeleted = -97;

// The process status back-end examines at most this many process identifiers.
constexpr size_t kMaxProcessIds = 1024;
// TerminateProcess is repeated while a pass's attempt counter is at most this; every attempt
// is followed by a wait of kTerminateWaitMs.
constexpr uint32_t kTerminateAttemptLimit = 10;
constexpr DWORD kTerminateWaitMs = 1000;
// Access asked for when a process is examined (query, memory read, terminate), and the
// all-access mask of the NT 4.0 to XP headers asked for once SeDebugPrivilege is enabled.
constexpr DWORD kExamineAccess = 0x411;
constexpr DWORD kAllAccess = 0x1F0FFF;
constexpr DWORD kTokenAccess = 0x28;   // TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY
constexpr char kDebugPrivilege[] = "SeDebugPrivilege";
// A pass's messages hold a path of up to 259 characters in full.
constexpr size_t kPassMessageSize = 320;

// Binds the back-end of the platform, runs one pass over it and releases it.
// RETURNS -2 no set or a count outside 1..3 (nothing loaded); -3 the version query failed;
// -4 / -5 the process status / Toolhelp back-end could not be bound; else the pass's result.
int32_t CleanProcesses(const SignatureEntry* set, uint32_t count, const VariantRow& row);
// One pass over a bound back-end; neither releases it.
// RETURNS 0 the last identified process was terminated and its file deleted; -6 nothing
// identified (or no process list); -9 (Toolhelp only) the last identified process could not
// be opened; -10 it could not be terminated; -97 its file could not be deleted.
int32_t CleanProcessesPsapi(const SignatureEntry* set, uint32_t count, const VariantRow& row);
int32_t CleanProcessesToolhelp(const SignatureEntry* set, uint32_t count, const VariantRow& row);
// The three variants' passes. RETURNS what CleanProcesses returns.
int32_t CleanVariantA();
int32_t CleanVariantC();
int32_t CleanVariantE();
