#include "registry/nt_family.h"
#include "registry/registry.h"

#include <windows.h>

int32_t DeleteWormService(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return kServiceNoName;
    }
    if (!RegistryPlatformIsNt()) {
        return kServiceNotNt;
    }
    // A manager that cannot be opened leaves no service to open: -14 below.
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager != nullptr ? OpenServiceA(manager, name, DELETE) : nullptr;
    int32_t result = kServiceCannotOpen;
    if (service != nullptr) {
        result = DeleteService(service) ? kServiceDeleted : kServiceDeleteFailed;
        CloseServiceHandle(service);
    }
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
    return result;
}
