#include "memory/memory.h"

// RETURNS 1 when AdjustTokenPrivileges made the adjustment in full, 0 when the name is
// unknown (nothing else is called then) or the token does not hold the privilege (the call
// succeeds with ERROR_NOT_ALL_ASSIGNED) or the adjustment failed.
int SetPrivilege(HANDLE token, const char* name, int enable)
{
    if (name == nullptr) {
        return 0;
    }
    LUID privilege = {};
    if (!LookupPrivilegeValueA(nullptr, name, &privilege)) {
        return 0;
    }
    TOKEN_PRIVILEGES request = {};
    request.PrivilegeCount = 1;
    request.Privileges[0].Luid = privilege;
    request.Privileges[0].Attributes = enable != 0 ? SE_PRIVILEGE_ENABLED : 0;
    static_assert(sizeof(request) == 16, "the one-entry record is 16 bytes");
    // Full success shows only in the last error, so no earlier value may linger in it.
    SetLastError(ERROR_SUCCESS);
    BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &request, sizeof(request), nullptr,
                                          nullptr);
    return adjusted && GetLastError() == ERROR_SUCCESS ? 1 : 0;
}
