#include "fake_system.h"

#include "run/run.h"

#include <cstdio>
#include <cstring>

FakeSystem g_fake;

namespace {

constexpr uintptr_t kProcessHandleBase = 0x7E000000;
constexpr uintptr_t kModuleHandleBase = 0x7C000000;

std::string Hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%lX", static_cast<unsigned long>(value));
    return text;
}

size_t LogSize()
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(kLogFileName, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return data.nFileSizeLow;
}

// Leaves the last error as it was: the code under test may read it after a fake call.
void Record(const std::string& what)
{
    DWORD lastError = GetLastError();
    g_fake.events.push_back({what, LogSize()});
    SetLastError(lastError);
}

// The table index of a fake process handle, or -1.
int ProcessIndex(HANDLE handle)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < kProcessHandleBase || value >= kProcessHandleBase + 4 * g_fake.processes.size() ||
        (value - kProcessHandleBase) % 4 != 0) {
        return -1;
    }
    return static_cast<int>((value - kProcessHandleBase) / 4);
}

std::string Id(int index)
{
    return index < 0 ? "?" : std::to_string(g_fake.processes[index].id);
}

// Copies a module name the way the platform does: cut to the buffer with a terminator, or,
// like Windows XP, filling the whole buffer without one and returning its size.
DWORD CopyName(const std::string& name, char* out, DWORD size, bool cutLikeXp)
{
    if (name.empty() || size == 0) {
        return 0;
    }
    if (name.size() >= size && cutLikeXp) {
        memcpy(out, name.data(), size);
        return size;
    }
    DWORD length = name.size() < size ? static_cast<DWORD>(name.size()) : size - 1;
    memcpy(out, name.data(), length);
    out[length] = '\0';
    return length;
}

// ---- process status entry points ----

BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned)
{
    Record("enum " + std::to_string(bytes));
    if (g_fake.enumFails) {
        return FALSE;
    }
    size_t room = bytes / sizeof(DWORD);
    size_t count = g_fake.processes.size() < room ? g_fake.processes.size() : room;
    for (size_t i = 0; i < count; ++i) {
        ids[i] = g_fake.processes[i].id;
    }
    *bytesReturned = g_fake.overrideEnumBytes ? g_fake.enumBytes
                                              : static_cast<DWORD>(count * sizeof(DWORD));
    return TRUE;
}

BOOL WINAPI FakeEnumProcessModules(HANDLE process, HMODULE* modules, DWORD bytes, DWORD* needed)
{
    int index = ProcessIndex(process);
    Record("modules " + Id(index) + " " + std::to_string(bytes));
    if (index < 0 || g_fake.processes[index].modulesFail) {
        return FALSE;
    }
    if (bytes >= sizeof(HMODULE)) {
        modules[0] = static_cast<HMODULE>(FakeModuleHandle(index));
    }
    *needed = 3 * sizeof(HMODULE);   // the executable and two libraries
    return TRUE;
}

DWORD WINAPI FakeGetModuleBaseNameA(HANDLE process, HMODULE module, char* name, DWORD size)
{
    int index = ProcessIndex(process);
    Record("basename " + Id(index) + " " + std::to_string(size));
    if (index < 0 || module != FakeModuleHandle(index)) {
        return 0;
    }
    const FakeProcess& p = g_fake.processes[index];
    return CopyName(p.baseName, name, size, p.cutNamesLikeXp);
}

DWORD WINAPI FakeGetModuleFileNameExA(HANDLE process, HMODULE module, char* name, DWORD size)
{
    int index = ProcessIndex(process);
    Record("fullpath " + Id(index) + " " + std::to_string(size));
    if (index < 0 || module != FakeModuleHandle(index)) {
        return 0;
    }
    const FakeProcess& p = g_fake.processes[index];
    return CopyName(p.fullPath, name, size, p.cutNamesLikeXp);
}

// ---- Toolhelp entry points ----

HANDLE WINAPI FakeCreateToolhelp32Snapshot(DWORD flags, DWORD processId)
{
    Record("snapshot " + std::to_string(flags) + " " + std::to_string(processId));
    return g_fake.snapshotFails ? INVALID_HANDLE_VALUE : kFakeSnapshot;
}

void FillEntry(PROCESSENTRY32* entry, const FakeProcess& p)
{
    entry->th32ProcessID = p.id;
    memset(entry->szExeFile, 0, sizeof(entry->szExeFile));
    if (g_fake.fillWholeExeFile && p.fullPath.size() >= sizeof(entry->szExeFile)) {
        memcpy(entry->szExeFile, p.fullPath.data(), sizeof(entry->szExeFile));
    } else {
        snprintf(entry->szExeFile, sizeof(entry->szExeFile), "%s", p.fullPath.c_str());
    }
}

BOOL WINAPI FakeProcess32First(HANDLE snapshot, PROCESSENTRY32* entry)
{
    Record("first " + std::to_string(entry->dwSize));
    g_fake.firstEntrySize = entry->dwSize;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(entry);
    g_fake.firstEntryZeroed = true;
    for (size_t i = sizeof(entry->dwSize); i < sizeof(*entry); ++i) {
        g_fake.firstEntryZeroed = g_fake.firstEntryZeroed && bytes[i] == 0;
    }
    g_fake.cursor = 0;
    // The platform refuses a record whose size field is not its own size.
    if (snapshot != kFakeSnapshot || entry->dwSize != sizeof(PROCESSENTRY32) ||
        g_fake.firstFails || g_fake.processes.empty()) {
        return FALSE;
    }
    FillEntry(entry, g_fake.processes[g_fake.cursor++]);
    return TRUE;
}

BOOL WINAPI FakeProcess32Next(HANDLE snapshot, PROCESSENTRY32* entry)
{
    Record("next");
    if (snapshot != kFakeSnapshot || g_fake.cursor >= g_fake.processes.size()) {
        return FALSE;
    }
    FillEntry(entry, g_fake.processes[g_fake.cursor++]);
    return TRUE;
}

// ---- platform calls ----

HANDLE WINAPI FakeOpenProcess(DWORD access, BOOL inherit, DWORD processId)
{
    Record("open " + Hex(access) + " " + std::to_string(processId) + " " +
           std::to_string(inherit));
    for (size_t i = 0; i < g_fake.processes.size(); ++i) {
        const FakeProcess& p = g_fake.processes[i];
        if (p.id != processId) {
            continue;
        }
        if ((access == kExamineAccess && p.refuseFirstOpen) ||
            (access == kAllAccess && p.refuseAllAccess) ||
            (access == PROCESS_TERMINATE && p.refuseTerminateOpen)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return FakeProcessHandle(i);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

BOOL WINAPI FakeGetExitCodeProcess(HANDLE process, DWORD* exitCode)
{
    Record("exitcode " + Id(ProcessIndex(process)));
    *exitCode = STILL_ACTIVE;
    return TRUE;
}

BOOL WINAPI FakeTerminateProcess(HANDLE process, UINT exitCode)
{
    int index = ProcessIndex(process);
    Record("terminate " + Id(index) + " " + std::to_string(exitCode));
    if (index < 0) {
        return FALSE;
    }
    FakeProcess& p = g_fake.processes[index];
    if (p.terminateFailures == kNeverTerminates) {
        return FALSE;
    }
    if (p.terminateFailures > 0) {
        --p.terminateFailures;
        return FALSE;
    }
    g_fake.terminated.push_back(p.id);
    return TRUE;
}

void WINAPI FakeSleep(DWORD milliseconds)
{
    Record("sleep " + std::to_string(milliseconds));
}

using CloseHandleFn = BOOL(WINAPI*)(HANDLE);
CloseHandleFn g_realCloseHandle;
BOOL WINAPI FakeCloseHandle(HANDLE handle)
{
    if (handle == kFakeToken) {
        Record("close token");
        return TRUE;
    }
    if (handle == kFakeSnapshot) {
        Record("close snapshot");
        return TRUE;
    }
    int index = ProcessIndex(handle);
    if (index >= 0) {
        Record("close process " + Id(index));
        return TRUE;
    }
    return g_realCloseHandle(handle);
}

using SetFileAttributesAFn = BOOL(WINAPI*)(const char*, DWORD);
SetFileAttributesAFn g_realSetFileAttributesA;
BOOL WINAPI FakeSetFileAttributesA(const char* path, DWORD attributes)
{
    Record("attributes " + std::string(path) + " " + Hex(attributes));
    return g_realSetFileAttributesA(path, attributes);
}

using DeleteFileAFn = BOOL(WINAPI*)(const char*);
DeleteFileAFn g_realDeleteFileA;
BOOL WINAPI FakeDeleteFileA(const char* path)
{
    Record("delete " + std::string(path));
    if (g_fake.deleteFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_realDeleteFileA(path);
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, HANDLE* token)
{
    Record("token " + Hex(access) + (process == GetCurrentProcess() ? " self" : " other"));
    if (g_fake.tokenFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *token = kFakeToken;
    return TRUE;
}

using LookupPrivilegeValueAFn = BOOL(WINAPI*)(const char*, const char*, LUID*);
LookupPrivilegeValueAFn g_realLookupPrivilegeValueA;
BOOL WINAPI FakeLookupPrivilegeValueA(const char* system, const char* name, LUID* luid)
{
    Record(std::string("lookup ") + (name != nullptr ? name : "(null)") +
           (system == nullptr ? " local" : " remote"));
    return g_realLookupPrivilegeValueA(system, name, luid);
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* state,
                                      DWORD length, TOKEN_PRIVILEGES* previous, DWORD* returned)
{
    Record("adjust " + std::string(token == kFakeToken ? "token" : "other") +
           " disable=" + std::to_string(disableAll) +
           " count=" + std::to_string(state->PrivilegeCount) +
           " attr=" + Hex(state->Privileges[0].Attributes) + " len=" + std::to_string(length) +
           (previous == nullptr && returned == nullptr ? " noprevious" : " previous"));
    switch (g_fake.adjust) {
    case AdjustMode::kFullSuccessSilent:   // the last error is left as it was
        return TRUE;
    case AdjustMode::kNotAllAssigned:
        SetLastError(ERROR_NOT_ALL_ASSIGNED);
        return TRUE;
    case AdjustMode::kFails:
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return FALSE;
}

}  // namespace

const HANDLE kFakeToken = reinterpret_cast<HANDLE>(0x7D000004);
const HANDLE kFakeSnapshot = reinterpret_cast<HANDLE>(0x7D000008);

HANDLE FakeProcessHandle(size_t index)
{
    return reinterpret_cast<HANDLE>(kProcessHandleBase + 4 * index);
}

HANDLE FakeModuleHandle(size_t index)
{
    return reinterpret_cast<HANDLE>(kModuleHandleBase + 0x10000 * index);
}

std::string CrLfToLf(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string LogPrefix(size_t size)
{
    std::string bytes;
    FILE* file = fopen(kLogFileName, "rb");
    if (file == nullptr) {
        return bytes;
    }
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.append(chunk, got);
    }
    fclose(file);
    return CrLfToLf(bytes.substr(0, size));
}

std::string LogText()
{
    return LogPrefix(std::string::npos);
}

std::vector<std::string> EventsStartingWith(const std::string& prefix)
{
    std::vector<std::string> found;
    for (const FakeEvent& event : g_fake.events) {
        if (event.what.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(event.what);
        }
    }
    return found;
}

int EventIndex(const std::string& what)
{
    for (size_t i = 0; i < g_fake.events.size(); ++i) {
        if (g_fake.events[i].what == what) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string WorkPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string path = folder;
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    return path + name;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";

}  // namespace

bool ServiceKeyExists(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str(), 0, KEY_READ, &key) != 0) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void CreateServiceKey(const std::string& name, const std::string& imagePath)
{
    HKEY key = nullptr;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str(), 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
    LONG status = ERROR_SUCCESS;
    if (!imagePath.empty()) {
        status = RegSetValueExA(key, "ImagePath", 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(imagePath.c_str()),
                                static_cast<DWORD>(imagePath.size() + 1));
    }
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, status);
}

void DeleteServiceKey(const std::string& name)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str());
}

namespace {

const char kTestPattern[] = "PURGEKIT TEST WORM";   // 18 bytes
constexpr uint32_t kTestPatternOffset = 0x300;

SignatureEntry MakeTestEntry()
{
    SignatureEntry entry = {};
    memcpy(entry.pattern, kTestPattern, sizeof(kTestPattern) - 1);
    entry.length = sizeof(kTestPattern) - 1;
    entry.offset = kTestPatternOffset;
    return entry;
}

// "MZ", relocation-table offset 0x40, PE header at 0x80 with no sections: the entry point
// maps to offset 0, which is never skipped.
std::string PeBytes()
{
    std::string bytes(0x1000, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x18] = 0x40;
    bytes[0x3C] = static_cast<char>(0x80);
    memcpy(&bytes[0x80], "PE\0\0", 4);
    return bytes;
}

}  // namespace

const SignatureEntry kTestSet[1] = {MakeTestEntry()};
const VariantRow kTestRow = {" ---> found TEST.WORM", " ---> found TEST.VIRUS", false};
const VariantRow kTestRowWithKey = {" ---> found TEST.WORM.E", " ---> found TEST.VIRUS.B", true};

std::string WormFileBytes()
{
    std::string bytes = PeBytes();
    memcpy(&bytes[kTestPatternOffset], kTestPattern, sizeof(kTestPattern) - 1);
    return bytes;
}

std::string VariantEWormFileBytes()
{
    std::string bytes = WormFileBytes();
    const SignatureSet set = SignatureSetE();
    for (uint32_t i = 0; i < set.count; ++i) {
        const SignatureEntry& entry = set.entries[i];
        if (bytes.size() < entry.offset + entry.length) {
            bytes.resize(entry.offset + entry.length, '\0');
        }
        memcpy(&bytes[entry.offset], entry.pattern, entry.length);
    }
    return bytes;
}

std::string CleanPeFileBytes()
{
    return PeBytes();
}

std::string NotPeFileBytes()
{
    return std::string(100, 'x');
}

std::string ShortFileBytes()
{
    return "MZ short";
}

std::string ShortReadFileBytes()
{
    std::string bytes(200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x18] = 0x40;
    bytes[0x3C] = static_cast<char>(190);   // the PE header read gets 10 bytes
    return bytes;
}

FakeProcess PlantProcess(DWORD id, const std::string& fileName, const std::string& bytes)
{
    FakeProcess process = {};
    process.id = id;
    process.baseName = fileName;
    process.fullPath = WorkPath(fileName);
    if (!bytes.empty()) {
        WriteBytes(process.fullPath, bytes);
    }
    return process;
}

void ExpectEventsInOrder(const std::vector<std::string>& expected)
{
    size_t next = 0;
    for (const FakeEvent& event : g_fake.events) {
        if (next < expected.size() && event.what == expected[next]) {
            ++next;
        }
    }
    if (next < expected.size()) {
        std::string seen;
        for (const FakeEvent& event : g_fake.events) {
            seen += "  " + event.what + "\n";
        }
        ADD_FAILURE() << "missing or out of order: \"" << expected[next] << "\"; events:\n" << seen;
    }
}

std::string LogWhen(const std::string& what)
{
    int index = EventIndex(what);
    EXPECT_GE(index, 0) << "no event " << what;
    return index < 0 ? std::string() : LogPrefix(g_fake.events[index].logSize);
}

FakeSystemTest::FakeSystemTest()
{
    struct Import {
        const char* dll;
        const char* function;
        void* replacement;
    };
    const Import imports[] = {
        {"kernel32.dll", "OpenProcess", reinterpret_cast<void*>(&FakeOpenProcess)},
        {"kernel32.dll", "TerminateProcess", reinterpret_cast<void*>(&FakeTerminateProcess)},
        {"kernel32.dll", "GetExitCodeProcess", reinterpret_cast<void*>(&FakeGetExitCodeProcess)},
        {"kernel32.dll", "Sleep", reinterpret_cast<void*>(&FakeSleep)},
        {"kernel32.dll", "CloseHandle", reinterpret_cast<void*>(&FakeCloseHandle)},
        {"kernel32.dll", "SetFileAttributesA", reinterpret_cast<void*>(&FakeSetFileAttributesA)},
        {"kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(&FakeDeleteFileA)},
        {"advapi32.dll", "OpenProcessToken", reinterpret_cast<void*>(&FakeOpenProcessToken)},
        {"advapi32.dll", "LookupPrivilegeValueA",
         reinterpret_cast<void*>(&FakeLookupPrivilegeValueA)},
        {"advapi32.dll", "AdjustTokenPrivileges",
         reinterpret_cast<void*>(&FakeAdjustTokenPrivileges)},
    };
    for (const Import& import : imports) {
        patches_.push_back(
            std::make_unique<ScopedImportPatch>(import.dll, import.function, import.replacement));
    }
    g_realCloseHandle = patches_[4]->original<CloseHandleFn>();
    g_realSetFileAttributesA = patches_[5]->original<SetFileAttributesAFn>();
    g_realDeleteFileA = patches_[6]->original<DeleteFileAFn>();
    g_realLookupPrivilegeValueA = patches_[8]->original<LookupPrivilegeValueAFn>();
}

void FakeSystemTest::SetUp()
{
    for (const auto& patch : patches_) {
        ASSERT_TRUE(patch->applied()) << "an import of the test program could not be replaced";
    }
    g_processApi = {};
    Reset();
}

namespace {

void RemovePlantedFiles(const std::vector<FakeProcess>& processes)
{
    for (const FakeProcess& p : processes) {
        if (!p.fullPath.empty() && p.fullPath.size() < MAX_PATH) {
            SetFileAttributesA(p.fullPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(p.fullPath.c_str());
        }
    }
    DeleteFileA(kLogFileName);
    RemoveDirectoryA(kLogFileName);
}

}  // namespace

void FakeSystemTest::Reset()
{
    std::vector<FakeProcess> planted = g_fake.processes;
    g_fake = FakeSystem();
    RemovePlantedFiles(planted);
    g_fake.events.clear();
}

void FakeSystemTest::TearDown()
{
    g_processApi = {};
    patches_.clear();   // the real platform again, for the clean-up
    RemovePlantedFiles(g_fake.processes);
}

void FakeSystemTest::FillPsapi()
{
    g_processApi.library = reinterpret_cast<HMODULE>(0x7B000000);
    g_processApi.EnumProcesses = &FakeEnumProcesses;
    g_processApi.EnumProcessModules = &FakeEnumProcessModules;
    g_processApi.GetModuleBaseNameA = &FakeGetModuleBaseNameA;
    g_processApi.GetModuleFileNameExA = &FakeGetModuleFileNameExA;
}

void FakeSystemTest::FillToolhelp()
{
    g_processApi.library = reinterpret_cast<HMODULE>(0x7B000000);
    g_processApi.CreateToolhelp32Snapshot = &FakeCreateToolhelp32Snapshot;
    g_processApi.Process32First = &FakeProcess32First;
    g_processApi.Process32Next = &FakeProcess32Next;
}

int32_t RunCaptured(MemoryPass pass, const SignatureEntry* set, uint32_t count,
                    const VariantRow& row, std::string* console)
{
    testing::internal::CaptureStdout();
    int32_t result = pass(set, count, row);
    *console = testing::internal::GetCapturedStdout();
    return result;
}

// ---- loaders and version ----

LoaderRecord g_loader;
DWORD g_versionSizeSeen;
int g_versionCalls;

namespace {

using LoadLibraryAFn = HMODULE(WINAPI*)(const char*);
using LoadLibraryExAFn = HMODULE(WINAPI*)(const char*, HANDLE, DWORD);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, const char*);
using FreeLibraryFn = BOOL(WINAPI*)(HMODULE);
LoadLibraryAFn g_realLoadLibraryA;
LoadLibraryExAFn g_realLoadLibraryExA;
GetProcAddressFn g_realGetProcAddress;
FreeLibraryFn g_realFreeLibrary;

HMODULE WINAPI FakeLoadLibraryA(const char* name)
{
    g_loader.loaded.push_back(name != nullptr ? name : "(null)");
    if (g_loader.refuseLoad) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    g_loader.lastLoaded = g_realLoadLibraryA(name);
    return g_loader.lastLoaded;
}

HMODULE WINAPI FakeLoadLibraryExA(const char* name, HANDLE file, DWORD flags)
{
    std::string record = name != nullptr ? name : "(null)";
    if (flags != LOAD_WITH_ALTERED_SEARCH_PATH) {
        record += " flags " + Hex(flags);
    }
    g_loader.loaded.push_back(record);
    if (g_loader.refuseLoad) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    g_loader.lastLoaded = g_realLoadLibraryExA(name, file, flags);
    return g_loader.lastLoaded;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, const char* name)
{
    bool byName = reinterpret_cast<uintptr_t>(name) > 0xFFFF;
    if (module == g_loader.lastLoaded && module != nullptr && byName) {
        g_loader.lookedUp.push_back(name);
        if (g_loader.missing == name) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
    }
    return g_realGetProcAddress(module, name);
}

BOOL WINAPI FakeFreeLibrary(HMODULE module)
{
    g_loader.freed.push_back(module);
    return g_realFreeLibrary(module);
}

OSVERSIONINFOA g_version;
BOOL g_versionSucceeds;

BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    ++g_versionCalls;
    g_versionSizeSeen = info->dwOSVersionInfoSize;
    if (!g_versionSucceeds) {
        return FALSE;
    }
    *info = g_version;
    info->dwOSVersionInfoSize = g_versionSizeSeen;
    return TRUE;
}

}  // namespace

LoaderPatches::LoaderPatches()
    : load_("kernel32.dll", "LoadLibraryA", reinterpret_cast<void*>(&FakeLoadLibraryA)),
      loadEx_("kernel32.dll", "LoadLibraryExA", reinterpret_cast<void*>(&FakeLoadLibraryExA)),
      lookUp_("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&FakeGetProcAddress)),
      free_("kernel32.dll", "FreeLibrary", reinterpret_cast<void*>(&FakeFreeLibrary))
{
    g_loader = LoaderRecord();
    g_realLoadLibraryA = load_.original<LoadLibraryAFn>();
    g_realLoadLibraryExA = loadEx_.original<LoadLibraryExAFn>();
    g_realGetProcAddress = lookUp_.original<GetProcAddressFn>();
    g_realFreeLibrary = free_.original<FreeLibraryFn>();
}

bool LoaderPatches::applied() const
{
    return load_.applied() && loadEx_.applied() && lookUp_.applied() && free_.applied();
}

std::string SystemPsapiPath()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, sizeof(folder));
    std::string path = folder;
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    return path + "PSAPI.DLL";
}

VersionPatch::VersionPatch(bool succeeds, DWORD platformId, DWORD major, DWORD minor)
    : patch_("kernel32.dll", "GetVersionExA", reinterpret_cast<void*>(&FakeGetVersionExA))
{
    g_version = {};
    g_version.dwPlatformId = platformId;
    g_version.dwMajorVersion = major;
    g_version.dwMinorVersion = minor;
    g_versionSucceeds = succeeds ? TRUE : FALSE;
    g_versionSizeSeen = 0;
    g_versionCalls = 0;
}
