// Fault injection for unit tests: replaces an entry of this test program's own import table,
// so the production code linked into it calls a test function instead of the platform's.
// The production code itself has no seams for this.
#pragma once

#include <windows.h>

// Points the import of `functionName` from `dllName` (case ignored) at `replacement`.
// RETURNS the address it held before, or nullptr when the program does not import it.
void* PatchImport(const char* dllName, const char* functionName, void* replacement);

// Keeps an import replaced for one scope and puts the original back afterwards.
class ScopedImportPatch {
public:
    ScopedImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ScopedImportPatch();
    ScopedImportPatch(const ScopedImportPatch&) = delete;
    ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

    bool applied() const { return original_ != nullptr; }
    // The platform's own function, for replacements that pass calls through.
    template <typename Function>
    Function original() const { return reinterpret_cast<Function>(original_); }

private:
    const char* dllName_;
    const char* functionName_;
    void* original_;
};
