#include "run/system_library.h"

#include "run/run.h"

#include <windows.h>

HMODULE LoadSystemLibrary(const char* fileName)
{
    if (fileName == nullptr || fileName[0] == '\0') {
        return nullptr;
    }
    char path[kPathSize] = {};
    if (!GetSystemFolderPath(path, sizeof(path)) || !AppendText(path, sizeof(path), fileName)) {
        return nullptr;   // a cut path could name another file
    }
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
