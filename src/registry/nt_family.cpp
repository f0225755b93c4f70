#include "registry/nt_family.h"

#include <windows.h>

bool RegistryPlatformIsNt()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) {
        return false;
    }
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
