#include "run/run.h"

#include <windows.h>

namespace {

struct PlatformRow {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    uint32_t code;
    const char* name;
};

const PlatformRow kPlatforms[] = {
    {VER_PLATFORM_WIN32_NT, 3, 51, kPlatformNt351, "Windows NT 3.51"},
    {VER_PLATFORM_WIN32_NT, 4, 0, kPlatformNt40, "Windows NT 4.0"},
    {VER_PLATFORM_WIN32_NT, 5, 0, kPlatformWin2000, "Windows 2000"},
    {VER_PLATFORM_WIN32_NT, 5, 1, kPlatformWinXp, "Windows XP"},
    {VER_PLATFORM_WIN32_WINDOWS, 4, 0, kPlatformWin95, "Windows 95"},
    {VER_PLATFORM_WIN32_WINDOWS, 4, 10, kPlatformWin98, "Windows 98"},
    {VER_PLATFORM_WIN32_WINDOWS, 4, 90, kPlatformWinMe, "Windows ME"},
};

const char kUnknownPlatformName[] = "UNKNOWN OS";

}  // namespace

int32_t GetHostInfo(HostInfo* info)
{
    if (info == nullptr) {
        return kHostInfoNoRecord;
    }
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    info->platformCode = kPlatformUnknown;
    if (!GetVersionExA(&version)) {
        return kHostInfoNoVersion;
    }
    for (const PlatformRow& row : kPlatforms) {
        if (version.dwPlatformId == row.platformId && version.dwMajorVersion == row.major &&
            version.dwMinorVersion == row.minor) {
            info->platformCode = row.code;
            break;
        }
    }
    return kHostInfoOk;
}

const char* PlatformName(uint32_t platformCode)
{
    for (const PlatformRow& row : kPlatforms) {
        if (row.code == platformCode) {
            return row.name;
        }
    }
    return kUnknownPlatformName;
}
