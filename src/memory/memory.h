// Memory cleaning: the process-listing back-ends bound at run time (the process status
// library on the NT family, Toolhelp on Windows 95/98/ME) and the three variant passes.
#pragma once

#include "detect/detect.h"

#include <windows.h>
#include <tlhelp32.h>

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

int32_t LoadToolhelp();
int32_t LoadPsapi();
int SetPrivilege(HANDLE token, const char* name, int enable);
const char* FileBaseName(const char* path);

// What one variant's pass uses.
struct VariantRow {
    const char* wormFoundMessage;    // e.g. " ---> found TROJ_VORN.A"
    const char* virusFoundMessage;   // for a file named "wqk.exe"
    bool deleteServiceKeyOnMatch;    // variant E
};

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

int32_t CleanProcesses(const SignatureEntry* set, uint32_t count, const VariantRow& row);
int32_t CleanProcessesPsapi(const SignatureEntry* set, uint32_t count, const VariantRow& row);
int32_t CleanProcessesToolhelp(const SignatureEntry* set, uint32_t count, const VariantRow& row);
int32_t CleanVariantA();
int32_t CleanVariantC();
int32_t CleanVariantE();
