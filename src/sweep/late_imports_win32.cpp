// Three functions that the C++ runtime's thread support (mingw-w64's winpthreads, linked in
// statically, and needed by the runtime's own exception support whether or not the program
// starts a thread) imports from KERNEL32 although Windows 2000 lacks them: GetTickCount64
// (Windows Vista) and Add/RemoveVectoredExceptionHandler (Windows XP). A single missing import
// stops the loader, so the program holds these import entries itself: each calls the system's
// function, bound by name when called, or a fallback where the system has none. This file is
// linked into the program itself, not its library, so the linker has the entries before it
// would look for them in KERNEL32's import library.
#include "sweep/late_imports_win32.h"

#include "run/system_library.h"

#include <windows.h>

#include <atomic>

namespace {

// KERNEL32 is in every process from its start: found, never loaded.
template <typename Function>
Function KernelFunction(const char* name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel == nullptr ? nullptr : LookUpEntryPoint<Function>(kernel, name);
}

// The last value handed out; zero until the first call.
std::atomic<uint64_t> lastTickCount{0};

ULONGLONG WINAPI TickCount64()
{
    auto system = KernelFunction<ULONGLONG(WINAPI*)()>("GetTickCount64");
    if (system != nullptr) {
        return system();
    }
    uint64_t last = lastTickCount.load();
    for (;;) {
        uint64_t next = NextTickCount(last, GetTickCount());
        if (next == last || lastTickCount.compare_exchange_weak(last, next)) {
            return next;
        }
    }
}

// Without the system's function nothing is registered, as when it fails: winpthreads then
// names no threads for a debugger, which is all it uses the handler for.
PVOID WINAPI AddHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler)
{
    auto system = KernelFunction<PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER)>(
        "AddVectoredExceptionHandler");
    return system != nullptr ? system(first, handler) : nullptr;
}

ULONG WINAPI RemoveHandler(PVOID handle)
{
    auto system = KernelFunction<ULONG(WINAPI*)(PVOID)>("RemoveVectoredExceptionHandler");
    return system != nullptr && handle != nullptr ? system(handle) : 0;
}

}  // namespace

uint64_t NextTickCount(uint64_t last, uint32_t now)
{
    if (last == 0) {
        return now;
    }
    uint32_t ahead = now - static_cast<uint32_t>(last);   // modulo 2^32: across a wrap too
    return ahead < 0x80000000u ? last + ahead : last;      // else older than what was handed out
}

// The import entries, under the names the compiler gives them.
#if defined(_WIN64)
#define PURGEKIT_IMPORT_ENTRY(name, argumentBytes) "__imp_" #name
#else
#define PURGEKIT_IMPORT_ENTRY(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#endif
extern "C" {
ULONGLONG(WINAPI* importGetTickCount64)() __asm__(PURGEKIT_IMPORT_ENTRY(GetTickCount64, 0)) =
    TickCount64;
PVOID(WINAPI* importAddVectoredExceptionHandler)(ULONG, PVECTORED_EXCEPTION_HANDLER) __asm__(
    PURGEKIT_IMPORT_ENTRY(AddVectoredExceptionHandler, 8)) = AddHandler;
ULONG(WINAPI* importRemoveVectoredExceptionHandler)(PVOID) __asm__(
    PURGEKIT_IMPORT_ENTRY(RemoveVectoredExceptionHandler, 4)) = RemoveHandler;
}
