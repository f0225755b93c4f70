// The platform test the service operations make for themselves.
#pragma once

// Queries the version (OSVERSIONINFOA, size field 148).
// RETURNS true only when the query succeeded and the platform is VER_PLATFORM_WIN32_NT.
bool RegistryPlatformIsNt();
