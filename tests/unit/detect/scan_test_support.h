// Helpers shared by the signature scan tests: scratch files in the test's working folder.
#pragma once

#include "detect/detect.h"
#include "pe_image.h"

#include <windows.h>

#include <string>

namespace scan_test {

// The full path of `name` in the current (scratch) folder.
inline std::string ScratchPath(const char* name)
{
    char full[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(name, sizeof(full), full, nullptr);
    return length > 0 && length < sizeof(full) ? std::string(full) : std::string(name);
}

// Writes the bytes to a scratch file with plain attributes; returns its full path.
inline std::string WriteScratch(const char* name, const pe_image::Bytes& bytes)
{
    std::string path = ScratchPath(name);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    pe_image::WriteBytes(path, bytes);
    return path;
}

inline std::string WriteScratchImage(const char* name, const pe_image::ImageLayout& layout)
{
    return WriteScratch(name, pe_image::BuildImage(layout));
}

inline ScanResult ScanWith(const std::string& path, const SignatureSet& set)
{
    return ScanFileForSignatures(path.c_str(), set.entries, set.count);
}

inline void RemoveScratch(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

}  // namespace scan_test
