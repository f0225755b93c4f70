#include "detect/detect.h"
#include "messages/messages.h"
#include "registry/image_path.h"
#include "registry/key_deletion.h"
#include "registry/registry.h"
#include "registry/registry_text.h"
#include "run/run.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr char kServicesKeyPrefix[] = "SYSTEM\\CurrentControlset\\Services\\";

static_assert(sizeof(kServicesKeyPrefix) - 1 + kServiceKeyPathMaxBase + 1 == kPathSize,
              "the longest base name fills the key path exactly");
static_assert(sizeof(kMsgServiceKeyForFileHead) - 1 + kServiceKeyMessageMaxBase +
                      sizeof(kMsgServiceKeyForFileTail) - 1 + 1 ==
                  kPathSize,
              "the longest base name fills the message exactly");

// The base name: the characters before the first '.' of the first kPathSize bytes.
// RETURNS false when there is none (no '.', or a leading one) or it is too long for the key
// path or the message: the key path would then name the Services key itself, or not fit.
bool TakeBaseName(const char* fileName, char* baseName, size_t size)
{
    const void* dot = memchr(fileName, '.', strnlen(fileName, kPathSize));
    if (dot == nullptr) {
        return false;
    }
    size_t length = static_cast<size_t>(static_cast<const char*>(dot) - fileName);
    if (length == 0 || length > kServiceKeyPathMaxBase || length > kServiceKeyMessageMaxBase ||
        length >= size) {
        return false;
    }
    memcpy(baseName, fileName, length);
    baseName[length] = '\0';
    return true;
}

// Whether the program that ImagePath starts carries variant E's patterns. A program that
// cannot be named within a path buffer, opened or read is not taken for the worm.
bool ImagePathRunsVariantE(const BYTE* imagePath, DWORD bytesRead)
{
    char program[kPathSize] = {};
    if (!ResolveImagePathProgram(reinterpret_cast<const char*>(imagePath),
                                 RegistryTextLength(imagePath, kRegistryTextSize, bytesRead),
                                 program, sizeof(program))) {
        return false;
    }
    SignatureSet set = SignatureSetE();
    return ScanFileForSignatures(program, set.entries, set.count) == kScanFound;
}

}  // namespace

int32_t DeleteServiceKeyForFile(const char* fileName)
{
    char baseName[kPathSize] = {};
    if (fileName == nullptr || strnlen(fileName, kPathSize) == kPathSize ||
        !TakeBaseName(fileName, baseName, sizeof(baseName))) {
        return kServiceKeyBadName;
    }
    char keyPath[kPathSize] = {};
    char message[kPathSize] = {};
    if (!ComposeText(keyPath, sizeof(keyPath), kServicesKeyPrefix, baseName, "") ||
        !ComposeText(message, sizeof(message), kMsgServiceKeyForFileHead, baseName,
                     kMsgServiceKeyForFileTail)) {
        return kServiceKeyBadName;
    }

    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) {
        return kServiceKeyAbsent;
    }
    // A worm named like a system component must not take that component's service with it:
    // the key goes only when the program its ImagePath starts is the worm. The worm's own key
    // names its running file, which the pass has just found.
    int32_t result = kServiceKeyOtherImage;
    BYTE imagePath[kRegistryTextSize] = {};
    DWORD bytesRead = 0;
    if (!ReadImagePath(key, imagePath, &bytesRead)) {
        result = kServiceKeyNoImagePath;
    } else if (ImagePathRunsVariantE(imagePath, bytesRead)) {
        if (DeleteKeyWithSubkeys(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS) {
            Report(message);
        }
        result = kServiceKeyDeleted;
    }
    RegCloseKey(key);
    return result;
}
