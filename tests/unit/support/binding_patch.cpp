#include "binding_patch.h"

#include <memory>

namespace {

struct EntryReplacement {
    HMODULE library;
    std::string functionName;
    void* replacement;
};

using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, const char*);
using LoadLibraryExAFn = HMODULE(WINAPI*)(const char*, HANDLE, DWORD);

std::vector<EntryReplacement> g_replacements;
std::unique_ptr<ScopedImportPatch> g_lookUpPatch;
GetProcAddressFn g_realGetProcAddress;

std::string g_refusedName;
std::vector<std::string> g_asked;
LoadLibraryExAFn g_realLoadLibraryExA;

FARPROC WINAPI ReplacingGetProcAddress(HMODULE library, const char* name)
{
    bool byName = reinterpret_cast<uintptr_t>(name) > 0xFFFF;
    for (const EntryReplacement& r : g_replacements) {
        if (byName && library == r.library && r.functionName == name) {
            if (r.replacement == nullptr) {
                SetLastError(ERROR_PROC_NOT_FOUND);
            }
            return reinterpret_cast<FARPROC>(r.replacement);
        }
    }
    return g_realGetProcAddress(library, name);
}

const char* FileNameOf(const char* path)
{
    const char* name = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/') {
            name = at + 1;
        }
    }
    return name;
}

HMODULE WINAPI RefusingLoadLibraryExA(const char* path, HANDLE file, DWORD flags)
{
    g_asked.push_back(path != nullptr ? path : "(null)");
    if (path != nullptr && lstrcmpiA(FileNameOf(path), g_refusedName.c_str()) == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return g_realLoadLibraryExA(path, file, flags);
}

}  // namespace

ScopedEntryPointPatch::ScopedEntryPointPatch(const char* dllName, const char* functionName,
                                             void* replacement)
    : library_(LoadLibraryA(dllName)), original_(nullptr)
{
    if (library_ == nullptr) {
        return;
    }
    void* original = reinterpret_cast<void*>(g_lookUpPatch != nullptr
                                                 ? g_realGetProcAddress(library_, functionName)
                                                 : GetProcAddress(library_, functionName));
    if (original == nullptr) {
        return;
    }
    if (g_lookUpPatch == nullptr) {
        g_lookUpPatch = std::make_unique<ScopedImportPatch>(
            "kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&ReplacingGetProcAddress));
        if (!g_lookUpPatch->applied()) {
            g_lookUpPatch.reset();
            return;
        }
        g_realGetProcAddress = g_lookUpPatch->original<GetProcAddressFn>();
    }
    original_ = original;
    g_replacements.push_back({library_, functionName, replacement});
}

ScopedEntryPointPatch::~ScopedEntryPointPatch()
{
    if (original_ != nullptr) {
        g_replacements.pop_back();   // patches are scoped, so they end in reverse order
        if (g_replacements.empty()) {
            g_lookUpPatch.reset();
        }
    }
    if (library_ != nullptr) {
        FreeLibrary(library_);
    }
}

ScopedLibraryRefusal::ScopedLibraryRefusal(const char* dllName)
    : patch_("kernel32.dll", "LoadLibraryExA", reinterpret_cast<void*>(&RefusingLoadLibraryExA))
{
    g_refusedName = dllName;
    g_asked.clear();
    g_realLoadLibraryExA = patch_.original<LoadLibraryExAFn>();
}

ScopedLibraryRefusal::~ScopedLibraryRefusal()
{
    g_refusedName.clear();
}

const std::vector<std::string>& ScopedLibraryRefusal::asked() const
{
    return g_asked;
}
