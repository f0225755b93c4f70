// Service and registry cleaning: the worm's services and service keys, and the registry
// values that start the worm or the virus.
#pragma once

#include <windows.h>

#include <cstdint>

// ---- Worm service removal ---------------------------------------------------------------

// DeleteWormService
constexpr int32_t kServiceDeleted = 0;
constexpr int32_t kServiceNoName = -2;
constexpr int32_t kServiceNotNt = -3;
constexpr int32_t kServiceCannotOpen = -14;
constexpr int32_t kServiceDeleteFailed = -15;

// CleanKrn132ServiceKeys, CleanWinSvcServiceKey
constexpr int32_t kKeyCheckWorm = 0;
constexpr int32_t kKeyCheckNotNt = -3;
constexpr int32_t kKeyCheckOtherImage = -7;
constexpr int32_t kKeyCheckNoKey = -20;
constexpr int32_t kKeyCheckNoImagePath = -21;
constexpr int32_t kKeyCheckCloseFailed = -24;

// DeleteServiceKeyForFile
constexpr int32_t kServiceKeyDeleted = 0;
constexpr int32_t kServiceKeyBadName = -2;
constexpr int32_t kServiceKeyAbsent = -20;

int32_t DeleteWormService(const char* name);
int32_t CleanKrn132ServiceKeys();
int32_t CleanWinSvcServiceKey();
int32_t DeleteServiceKeyForFile(const char* fileName);

// ---- Registry value removal -------------------------------------------------------------

constexpr int32_t kRootIndexLocalMachine = 5;

// DeleteValueByData
constexpr int32_t kValueDeleted = 0;
constexpr int32_t kValueNotFound = 1;
constexpr int32_t kValueBadArguments = -2;
constexpr int32_t kValueBadRoot = -7;

// FindValueByData
constexpr int32_t kFindMatch = 0;
constexpr int32_t kFindNoKey = -20;
constexpr int32_t kFindEnded = -23;

constexpr size_t kRegistryTextSize = 1024;   // searched names and data
constexpr size_t kPrefixNameSize = 256;      // names examined by DeleteValuesByPrefix

HKEY RootKeyFromIndex(int32_t index);
int32_t DeleteValueByData(int32_t rootIndex, const char* subKey, const char* data);
int32_t FindValueByData(HKEY root, const char* subKey, const char* data, uint32_t* index,
                        char* nameOut);
void DeleteValuesByPrefix(HKEY key, const char* prefix, char* lastDeletedOut);
