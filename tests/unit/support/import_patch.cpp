#include "import_patch.h"

#include <cstring>

namespace {

// The import address table slot of one function, or nullptr.
void** FindImportSlot(const char* dllName, const char* functionName)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        const char* name = reinterpret_cast<const char*>(base + descriptor->Name);
        if (lstrcmpiA(name, dllName) != 0 || descriptor->OriginalFirstThunk == 0) {
            continue;
        }
        auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void* ExchangeSlot(void** slot, void* value)
{
    DWORD oldProtection = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &oldProtection)) {
        return nullptr;
    }
    void* previous = *slot;
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), oldProtection, &oldProtection);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof(*slot));
    return previous;
}

}  // namespace

void* PatchImport(const char* dllName, const char* functionName, void* replacement)
{
    void** slot = FindImportSlot(dllName, functionName);
    if (slot == nullptr) {
        return nullptr;
    }
    return ExchangeSlot(slot, replacement);
}

ScopedImportPatch::ScopedImportPatch(const char* dllName, const char* functionName,
                                     void* replacement)
    : dllName_(dllName), functionName_(functionName),
      original_(PatchImport(dllName, functionName, replacement))
{
}

ScopedImportPatch::~ScopedImportPatch()
{
    if (original_ != nullptr) {
        PatchImport(dllName_, functionName_, original_);
    }
}
