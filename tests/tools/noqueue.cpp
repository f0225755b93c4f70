// Test tool: the control for the unattended launcher's queued key presses. It sets up the same
// console as purgekit-unattended.exe (a second instance of itself started with
// CREATE_NEW_CONSOLE and a hidden window, which owns the new console), starts purgekit.exe from
// its own folder there with the current folder it was started in and the output going to a
// file, and waits, but queues no key press.
//   noqueue.exe STOP CAPTURE   exit 0: purgekit.exe ended by itself; 3: it was still running
//                              when a file STOP appeared, and was ended; 1: an error
//   noqueue.exe /inner STOP CAPTURE   (the instance in the new console)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string OwnPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
    return path;
}

// Waits until the process ends (0) or the file `stop` appears (the process is ended: 3).
DWORD WaitAndEnd(HANDLE process, const char* stop)
{
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            return 3;
        }
    }
    return 0;
}

int Inner(const char* stop, const char* capture)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE output = CreateFileA(capture, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return 1;
    }
    std::string cleaner = OwnPath();
    cleaner = cleaner.substr(0, cleaner.rfind('\\') + 1) + "purgekit.exe";
    std::string commandLine = "\"" + cleaner + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(cleaner.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return 1;
    }
    CloseHandle(info.hThread);
    DWORD result = WaitAndEnd(info.hProcess, stop);
    CloseHandle(info.hProcess);
    CloseHandle(output);
    return static_cast<int>(result);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "/inner") == 0) {
        return Inner(argv[2], argv[3]);
    }
    if (argc != 3) {
        fputs("usage: noqueue.exe STOP CAPTURE\n", stderr);
        return 1;
    }
    std::string self = OwnPath();
    std::string commandLine = "\"" + self + "\" /inner " + argv[1] + " " + argv[2];
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(self.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info)) {
        return 1;
    }
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
