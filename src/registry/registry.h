// Service and registry cleaning: the worm's services and service keys, and the registry
// values that start the worm or the virus.
#pragma once

#include <windows.h>

#include <cstddef>
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
constexpr int32_t kServiceKeyOtherImage = -7;
constexpr int32_t kServiceKeyAbsent = -20;
constexpr int32_t kServiceKeyNoImagePath = -21;

// Longest base name DeleteServiceKeyForFile takes: its key path and its message must both fit
// their 260-byte buffers (the message is the tighter of the two).
constexpr size_t kServiceKeyPathMaxBase = 225;
constexpr size_t kServiceKeyMessageMaxBase = 192;

// Asks the service control manager to delete the named service (no stop request first).
// RETURNS: 0 deletion accepted; -2 name missing or empty (nothing queried); -3 version query
// failed or not the NT family; -14 the service (or the manager) cannot be opened for DELETE;
// -15 DeleteService failed.
int32_t DeleteWormService(const char* name);

// Checks the Krn132 (WinSvc) service entry by its ImagePath; when it names the worm file in
// the system folder, deletes the worm's service keys, reporting each deletion that succeeds.
// RETURNS: 0 the entry was the worm's (whatever the deletions gave); -3 version query failed
// or not the NT family; -7 ImagePath empty or naming anything else; -20 the key cannot be
// opened; -21 ImagePath cannot be read; -24 closing the key failed (replaces any result).
int32_t CleanKrn132ServiceKeys();
int32_t CleanWinSvcServiceKey();

// Deletes the service key named after a file's base name (the part before its first '.'),
// with all its subkeys, when the program its ImagePath starts (see image_path.h) carries
// variant E's patterns, reporting the deletion when it succeeds. Any other key is left alone,
// and nothing is reported.
// RETURNS: 0 the key runs the worm and its deletion was requested; -2 no file name, or its
// base name is empty or too long for the key path or the message (nothing touched); -7 the
// program is not the worm, cannot be opened or read, or cannot be named (none, or a path
// that does not fit); -20 the key cannot be opened; -21 its ImagePath cannot be read
// (absent, or longer than 1024 bytes).
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
constexpr int32_t kFindBadArguments = -2;
constexpr int32_t kFindNoKey = -20;
constexpr int32_t kFindEnded = -23;

constexpr size_t kRegistryTextSize = 1024;   // searched names and data
constexpr size_t kPrefixNameSize = 256;      // names examined by DeleteValuesByPrefix

// The predefined root key of an index 1 to 7 (alphabetical order of the root keys' names).
// RETURNS: the root key, or a null handle for any other index.
HKEY RootKeyFromIndex(int32_t index);

// Deletes the first value (in enumeration order) of root\subKey whose data, taken as text,
// equals `data` without regard to letter case.
// RETURNS: 0 found and its deletion requested (the deletion's outcome is not examined);
// 1 not found (key absent, or no match); -2 subKey or data missing or empty (tested before
// the root index); -7 root index not 1 to 7.
int32_t DeleteValueByData(int32_t rootIndex, const char* subKey, const char* data);

// Searches root\subKey from value *index on for a value whose data equals `data` (whole
// text, letter case ignored, type not examined), advancing *index past every value read.
// A value too large for the 1024-byte buffers is stepped over. nameOut: at least 1024 bytes.
// RETURNS: 0 match, its name copied to nameOut; -2 an argument missing; -20 the key cannot be
// opened; -23 the values ended without a match, or a value could not be read for any other
// reason.
int32_t FindValueByData(HKEY root, const char* subKey, const char* data, uint32_t* index,
                        char* nameOut);

// Deletes every value of the open `key` whose name, upper-cased under the ANSI code page,
// begins with `prefix` (compared byte for byte). Every value present at the start is examined
// once. lastDeletedOut (at least 256 bytes) receives the upper-cased name deleted last, and
// is left alone when nothing qualified.
void DeleteValuesByPrefix(HKEY key, const char* prefix, char* lastDeletedOut);
