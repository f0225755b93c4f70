// The one key check behind CleanKrn132ServiceKeys and CleanWinSvcServiceKey: a table row
// names the service key examined, the worm file its ImagePath must name, and the keys that
// are deleted (with their messages) when it does.
#pragma once

#include <cstddef>
#include <cstdint>

struct ServiceKeyDeletion {
    const char* keyPath;   // below HKEY_LOCAL_MACHINE
    const char* message;   // reported when the key deletion succeeds
};

struct ServiceKeyCheck {
    const char* serviceKey;        // below HKEY_LOCAL_MACHINE
    const char* imageFileName;     // appended to the system folder path
    const ServiceKeyDeletion* deletions;
    size_t deletionCount;
};

// RETURNS the codes of CleanKrn132ServiceKeys (see registry.h).
int32_t CheckServiceKey(const ServiceKeyCheck& check);
