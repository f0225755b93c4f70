#include "registry/registry.h"

HKEY RootKeyFromIndex(int32_t index)
{
    switch (index) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_CONFIG;
    case 3: return HKEY_CURRENT_USER;
    case 4: return HKEY_DYN_DATA;
    case 5: return HKEY_LOCAL_MACHINE;
    case 6: return HKEY_PERFORMANCE_DATA;
    case 7: return HKEY_USERS;
    default: return nullptr;
    }
}
