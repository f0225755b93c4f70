// A fake system for the memory passes: g_processApi filled with test entry points over a
// table of fake processes, and the platform calls the passes make (process, token, wait,
// file and library calls) replaced in this test program's import table. Every call is
// recorded as an event, with the size the log had at that moment, so that tests can tell
// the order of calls and messages. No test sleeps and no real process is touched; the
// executable files are real files in the test's working folder.
#pragma once

#include "memory/memory.h"
#include "support/import_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

constexpr int kNeverTerminates = -1;

struct FakeProcess {
    DWORD id;
    std::string baseName;            // GetModuleBaseNameA
    std::string fullPath;            // GetModuleFileNameExA; szExeFile for Toolhelp
    bool refuseFirstOpen = false;    // OpenProcess(0x411) fails
    bool refuseAllAccess = false;    // OpenProcess(0x1F0FFF) fails
    bool refuseTerminateOpen = false;  // OpenProcess(PROCESS_TERMINATE) fails
    bool modulesFail = false;        // EnumProcessModules fails
    int terminateFailures = 0;       // failing TerminateProcess calls first; -1: every call fails
    bool cutNamesLikeXp = false;     // names that do not fit: buffer filled, no zero, size returned
};

struct FakeEvent {
    std::string what;
    size_t logSize;   // bytes in PURGEKIT.LOG when it happened
};

enum class AdjustMode { kFullSuccessSilent, kNotAllAssigned, kFails };

struct FakeSystem {
    std::vector<FakeProcess> processes;
    std::vector<FakeEvent> events;
    // process status back-end
    bool enumFails = false;
    bool overrideEnumBytes = false;
    DWORD enumBytes = 0;
    // Toolhelp back-end
    bool snapshotFails = false;
    bool firstFails = false;
    bool fillWholeExeFile = false;   // szExeFile filled to its last byte, no terminator
    DWORD firstEntrySize = 0;        // dwSize seen by Process32First
    bool firstEntryZeroed = false;   // every other byte zero at Process32First
    size_t cursor = 0;
    // token and privilege
    bool tokenFails = false;
    AdjustMode adjust = AdjustMode::kFullSuccessSilent;
    // files
    bool deleteFails = false;
    // identifiers of the fake processes that were terminated
    std::vector<DWORD> terminated;
};

extern FakeSystem g_fake;

// Fake handles live in ranges no real handle of the test uses.
HANDLE FakeProcessHandle(size_t index);
HANDLE FakeModuleHandle(size_t index);
extern const HANDLE kFakeToken;
extern const HANDLE kFakeSnapshot;

// The log as text with its CR LF turned back into "\n", and its first `size` bytes likewise.
std::string LogText();
std::string LogPrefix(size_t size);
std::string CrLfToLf(const std::string& text);

// The events whose text starts with `prefix`, in order.
std::vector<std::string> EventsStartingWith(const std::string& prefix);
// Index of the first event equal to `what`, or -1.
int EventIndex(const std::string& what);

// Files in the working folder.
std::string WorkPath(const std::string& name);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// A PE file the scan accepts, carrying the test worm's pattern or not; and files for the
// scan's other results.
std::string WormFileBytes();
// The worm's file as variant E's service key check sees it: found by the test set and by
// variant E's own set.
std::string VariantEWormFileBytes();
std::string CleanPeFileBytes();
std::string NotPeFileBytes();       // -26
std::string ShortFileBytes();       // -25
std::string ShortReadFileBytes();   // -27

// A fake process whose executable is the file `fileName` in the working folder, written with
// `bytes` unless they are empty (then there is no such file).
FakeProcess PlantProcess(DWORD id, const std::string& fileName, const std::string& bytes);

// Expects the events to hold `expected` in this order (others may stand between them).
void ExpectEventsInOrder(const std::vector<std::string>& expected);
// The event `what` (which must exist) and the log as it was when it happened.
std::string LogWhen(const std::string& what);

// Keys below HKLM\SYSTEM\CurrentControlSet\Services, as variant E's pass deletes them.
bool ServiceKeyExists(const std::string& name);
// A key with an ImagePath value when `imagePath` is not empty.
void CreateServiceKey(const std::string& name, const std::string& imagePath = "");
void DeleteServiceKey(const std::string& name);

// The test worm's signature set: one entry of 18 bytes at offset 0x300.
extern const SignatureEntry kTestSet[1];
// A row of the test's own, so that every message is told apart from the variants'.
extern const VariantRow kTestRow;
extern const VariantRow kTestRowWithKey;

// The fixture: every patch in place for the whole test, g_processApi filled with the fakes,
// the log removed before and after.
class FakeSystemTest : public testing::Test {
public:
    // g_processApi filled with the fakes of one back-end.
    void FillPsapi();
    void FillToolhelp();

protected:
    FakeSystemTest();
    void SetUp() override;
    void TearDown() override;
    // A fresh fake system between the rows of a table: planted files, log and events gone.
    void Reset();

    void AddProcess(FakeProcess process) { g_fake.processes.push_back(process); }

    std::vector<std::unique_ptr<ScopedImportPatch>> patches_;
};

// Library loading observed (and optionally refused) for the loaders: LoadLibraryA,
// LoadLibraryExA, GetProcAddress and FreeLibrary replaced by recorders that call the
// platform's own.
struct LoaderRecord {
    // names given to LoadLibraryA, and to LoadLibraryExA with LOAD_WITH_ALTERED_SEARCH_PATH
    // (any other flags are written after the name)
    std::vector<std::string> loaded;
    std::vector<std::string> lookedUp;   // names looked up in the library loaded last
    std::vector<HMODULE> freed;
    bool refuseLoad = false;
    std::string missing;                 // an entry point the library seems to lack
    HMODULE lastLoaded = nullptr;
};

extern LoaderRecord g_loader;

// The full path of the process status library in the system folder, as LoadPsapi asks for it.
std::string SystemPsapiPath();

class LoaderPatches {
public:
    LoaderPatches();
    bool applied() const;

private:
    ScopedImportPatch load_;
    ScopedImportPatch loadEx_;
    ScopedImportPatch lookUp_;
    ScopedImportPatch free_;
};

// GetVersionExA answering with one platform (or failing), recording the size field it saw.
class VersionPatch {
public:
    VersionPatch(bool succeeds, DWORD platformId, DWORD major, DWORD minor);
    bool applied() const { return patch_.applied(); }

private:
    ScopedImportPatch patch_;
};
extern DWORD g_versionSizeSeen;
extern int g_versionCalls;

// One of the memory passes.
using MemoryPass = int32_t (*)(const SignatureEntry*, uint32_t, const VariantRow&);

// Runs `pass` with the console captured. RETURNS the pass's result; `console` gets the text.
int32_t RunCaptured(MemoryPass pass, const SignatureEntry* set, uint32_t count,
                    const VariantRow& row, std::string* console);

// One memory pass on the fake system, filled in by SetUp, with its console output captured.

template <MemoryPass Pass, void (FakeSystemTest::*Fill)()>
class CapturedPassTest : public FakeSystemTest {
protected:
    void SetUp() override
    {
        FakeSystemTest::SetUp();
        (this->*Fill)();
    }
    int32_t Run(const VariantRow& row = kTestRow, uint32_t count = 1)
    {
        return RunCaptured(Pass, kTestSet, count, row, &console_);
    }
    // The console shows what the log holds: every message goes to both.
    void ExpectOutput(const std::string& expected)
    {
        EXPECT_EQ(expected, LogText());
        EXPECT_EQ(expected, console_);
    }
    std::string console_;
};

// The pass's own lines for an executable.
inline std::string Scanning(const std::string& path)
{
    return "\n\t Scanning " + path;
}

inline std::string Deleted(const std::string& path)
{
    return "\n\t File " + path + " deleted";
}
