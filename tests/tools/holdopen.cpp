// Test tool: holds a file (or a folder) open with no sharing at all until it is ended,
// like a program that locks a file. Prints "held" once the handle is open.
//   holdopen.exe PATH        opens or creates the file PATH
//   holdopen.exe /dir PATH   opens the existing folder PATH
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    bool folder = argc == 3 && strcmp(argv[1], "/dir") == 0;
    if (argc != 2 && !folder) {
        fputs("usage: holdopen.exe [/dir] PATH\n", stderr);
        return 2;
    }
    const char* path = argv[argc - 1];
    HANDLE handle = folder
        ? CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                      nullptr)
        : CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "holdopen: cannot open %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
