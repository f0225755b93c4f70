// One memory pass: the platform decides the back-end, which is bound for the pass and
// released after it in every case.
#include "memory/memory.h"

// RETURNS -2 no set or a count of 0 or more than 3 (nothing loaded); -3 GetVersionExA failed;
// -4 the process status back-end, -5 the Toolhelp back-end could not be bound (a library
// that did load is released); otherwise the result of the pass.
int32_t CleanProcesses(const SignatureEntry* set, uint32_t count, const VariantRow& row)
{
    if (set == nullptr || count == 0 || count > kMaxSignatureEntries) {
        return kPassBadArguments;
    }
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");
    if (!GetVersionExA(&version)) {
        return kPassNoVersion;
    }
    int32_t result = kPassNothingIdentified;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {   // every NT version
        result = LoadPsapi() == kLoadOk ? CleanProcessesPsapi(set, count, row) : kPassNoPsapi;
    } else {
        result = LoadToolhelp() == kLoadOk ? CleanProcessesToolhelp(set, count, row)
                                           : kPassNoToolhelp;
    }
    ReleaseProcessApi();
    return result;
}
