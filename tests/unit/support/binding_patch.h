// Fault injection for what the production code binds at run time: while a patch lives, this
// test program's own GetProcAddress hands out a test entry point (or none) for one function
// of one library, and its LoadLibraryExA can refuse a library by file name. Both act through
// the test program's import table (import_patch.h); the production code has no seams.
#pragma once

#include "import_patch.h"

#include <windows.h>

#include <string>
#include <vector>

// GetProcAddress gives `replacement` for `functionName` looked up in the library `dllName`
// (file name, case ignored); a null replacement makes the function missing.
class ScopedEntryPointPatch {
public:
    ScopedEntryPointPatch(const char* dllName, const char* functionName, void* replacement);
    ~ScopedEntryPointPatch();
    ScopedEntryPointPatch(const ScopedEntryPointPatch&) = delete;
    ScopedEntryPointPatch& operator=(const ScopedEntryPointPatch&) = delete;

    bool applied() const { return original_ != nullptr; }
    // The library's own function, for replacements that pass calls through.
    template <typename Function>
    Function original() const { return reinterpret_cast<Function>(original_); }

private:
    HMODULE library_;
    void* original_;
};

// LoadLibraryExA fails with ERROR_MOD_NOT_FOUND for a path whose file name is `dllName` (case
// ignored); every path asked for is recorded.
class ScopedLibraryRefusal {
public:
    explicit ScopedLibraryRefusal(const char* dllName);
    ~ScopedLibraryRefusal();
    ScopedLibraryRefusal(const ScopedLibraryRefusal&) = delete;
    ScopedLibraryRefusal& operator=(const ScopedLibraryRefusal&) = delete;

    bool applied() const { return patch_.applied(); }
    const std::vector<std::string>& asked() const;

private:
    ScopedImportPatch patch_;
};
