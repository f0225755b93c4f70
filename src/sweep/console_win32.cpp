// The sweep's console and error texts on Win32: UTF-8 out, errors in the words of strerror.
#include "sweep/sweep_platform.h"
#include "sweep/wide_path_win32.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

void WriteStream(int stream, const char* bytes, size_t size)
{
    HANDLE handle = GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD piece = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, bytes, piece, &written, nullptr) || written == 0) {
            return;
        }
        bytes += written;
        size -= written;
    }
}

bool StderrIsTerminal()
{
    // The progress line needs a console that understands "erase to the end of the line".
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) {
        return false;
    }
    return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

// One thread per processor. (The POSIX build's larger default rests on cold-cache measurements
// of Linux file systems; none were made of Windows disks and shares.)
uint32_t DefaultThreadCount()
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    DWORD cores = info.dwNumberOfProcessors;
    if (cores < 1) {
        return 1;
    }
    return cores > kMaxThreads ? kMaxThreads : static_cast<uint32_t>(cores);
}

FILE* OpenListFile(const std::string& name, int32_t* error)
{
    if (name == "-") {
        _setmode(_fileno(stdin), _O_BINARY);
        return stdin;
    }
    std::wstring wide = ExtendedPath(name);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = static_cast<int32_t>(GetLastError());
        return nullptr;
    }
    FILE* file = _wfopen(wide.c_str(), L"rb");
    if (file == nullptr) {
        *error =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED;
    }
    return file;
}

int32_t ReadListChunk(FILE* list, char* into, size_t size, size_t* got)
{
    DWORD read = 0;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(list)));
    if (!ReadFile(handle, into, static_cast<DWORD>(size), &read, nullptr)) {
        DWORD error = GetLastError();
        *got = 0;
        return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF
                   ? 0
                   : static_cast<int32_t>(error);
    }
    *got = read;
    return 0;
}

void CommandLineArguments(int, char**, std::vector<std::string>* arguments)
{
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return;
    }
    for (int index = 1; index < count; ++index) {
        const wchar_t* argument = wide[index];
        arguments->push_back(WideToUtf8(argument, wcslen(argument)));
    }
    LocalFree(wide);
}
