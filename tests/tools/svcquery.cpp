// Test tool: whether the service control manager knows a service, told apart from a manager
// that could not be asked, so that a check on a busy machine asks again rather than taking a
// slow or busy manager (Wine's sc.exe exits 1 alike for both) for a missing service.
//   svcquery.exe NAME   prints "exists" (exit 0), "absent" (exit 1: the manager says it knows
//                       no such service, error 1060), or "error STEP CODE" (exit 2: no answer)
#include <windows.h>

#include <cstdio>

namespace {

int NoAnswer(const char* step)
{
    printf("error %s %lu\n", step, GetLastError());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: svcquery.exe NAME\n", stderr);
        return 2;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return NoAnswer("OpenSCManager");
    }
    SC_HANDLE service = OpenServiceA(manager, argv[1], SERVICE_QUERY_STATUS);
    DWORD error = GetLastError();
    int status = 2;
    if (service != nullptr) {
        puts("exists");
        status = 0;
        CloseServiceHandle(service);
    } else if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
        puts("absent");
        status = 1;
    } else {
        SetLastError(error);
        status = NoAnswer("OpenService");
    }
    CloseServiceHandle(manager);
    return status;
}
