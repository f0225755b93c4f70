/* A harmless stand-in for a PSAPI.DLL that someone left beside purgekit.exe (a download
 * folder, a shared drive). It exports nothing; when a process loads it, it records that by
 * creating an empty file named after itself with ".loaded" appended. */
#include <windows.h>

#include <string.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    static const char kSuffix[] = ".loaded";
    char marker[MAX_PATH + sizeof(kSuffix)];
    DWORD length;
    HANDLE file;

    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    length = GetModuleFileNameA(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    memcpy(marker + length, kSuffix, sizeof(kSuffix));
    file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return TRUE;
}
