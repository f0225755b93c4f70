// The memory pass over the process status back-end, on a fake process table.
#include "fake_system.h"

#include "run/run.h"

#include <string>

namespace {

using PsapiPassTest = CapturedPassTest<&CleanProcessesPsapi, &FakeSystemTest::FillPsapi>;

TEST_F(PsapiPassTest, ScanResultsOtherThanFoundAreToldApart)
{
    struct Case {
        const char* name;
        std::string bytes;
        uint32_t count;
        const char* verdict;
    };
    const Case cases[] = {
        {"not found (0)", CleanPeFileBytes(), 1, " ---> Not found"},
        {"no such file (-1)", "", 1, " ---> file locked"},
        {"shorter than 60 bytes (-25)", ShortFileBytes(), 1, " ---> skipped"},
        {"not a PE file (-26)", NotPeFileBytes(), 1, " ---> unknown error -6 Files"},
        {"PE header read short (-27)", ShortReadFileBytes(), 1, " ---> unknown error -6 Files"},
        {"invalid set (-2)", WormFileBytes(), 0, " ---> unknown error -6 Files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        FakeProcess process = PlantProcess(40, "program.exe", c.bytes);
        AddProcess(process);
        EXPECT_EQ(kPassNothingIdentified, Run(kTestRow, c.count));
        ExpectOutput(Scanning(process.fullPath) + c.verdict);
        EXPECT_TRUE(EventsStartingWith("terminate").empty());
        EXPECT_TRUE(EventsStartingWith("delete").empty());
        EXPECT_EQ(1u, EventsStartingWith("close process 40").size());
    }
}

TEST_F(PsapiPassTest, FileHeldWithoutSharingIsReportedLocked)
{
    FakeProcess process = PlantProcess(40, "locked.exe", WormFileBytes());
    AddProcess(process);
    HANDLE holder = CreateFileA(process.fullPath.c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    int32_t result = Run();
    CloseHandle(holder);
    EXPECT_EQ(kPassNothingIdentified, result);
    ExpectOutput(Scanning(process.fullPath) + " ---> file locked");
}

TEST_F(PsapiPassTest, IdentifiedProcessIsTerminatedAndItsFileDeleted)
{
    FakeProcess process = PlantProcess(40, "worm.exe", WormFileBytes());
    AddProcess(process);
    EXPECT_EQ(kPassCleaned, Run());
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM (Terminated)" +
                 Deleted(process.fullPath));
    EXPECT_FALSE(FileExists(process.fullPath));
    ExpectEventsInOrder({"enum 4096", "open 0x411 40 0",
                         "modules 40 " + std::to_string(sizeof(HMODULE)), "basename 40 260",
                         "fullpath 40 260", "exitcode 40", "terminate 40 259", "sleep 1000",
                         "attributes " + process.fullPath + " 0x80",
                         "delete " + process.fullPath, "close process 40"});
    EXPECT_EQ(1u, EventsStartingWith("exitcode").size());
    // The handle is closed only after the deletion message.
    EXPECT_EQ(LogText(), LogWhen("close process 40"));
    // The attributes are reset right before the deletion.
    int deletion = EventIndex("delete " + process.fullPath);
    ASSERT_GT(deletion, 0);
    EXPECT_EQ("attributes " + process.fullPath + " 0x80", g_fake.events[deletion - 1].what);
}

TEST_F(PsapiPassTest, ReadOnlyExecutableIsDeleted)
{
    FakeProcess process = PlantProcess(40, "readonly.exe", WormFileBytes());
    AddProcess(process);
    ASSERT_TRUE(SetFileAttributesA(process.fullPath.c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(kPassCleaned, Run());
    EXPECT_FALSE(FileExists(process.fullPath));
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM (Terminated)" +
                 Deleted(process.fullPath));
}

TEST_F(PsapiPassTest, VirusFileNameInAnyCaseIsIdentifiedWithoutScanning)
{
    struct Case {
        const char* name;
        bool identified;
    };
    const Case cases[] = {
        {"wqk.exe", true},   {"WQK.EXE", true},       {"Wqk.exe", true},
        {"wQk.ExE", true},   {"wqk.exe.exe", false},  {"xwqk.exe", false},
        {"wqk.ex", false},   {"wqk.exe ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        // The file would be found by a scan; a clean file would not be: neither is scanned.
        FakeProcess process = PlantProcess(44, c.name, CleanPeFileBytes());
        AddProcess(process);
        int32_t result = Run();
        if (c.identified) {
            EXPECT_EQ(kPassCleaned, result);
            ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.VIRUS (Terminated)" +
                         Deleted(process.fullPath));
            // One attribute reset (the pass's own, before the deletion), none by a scan.
            EXPECT_EQ(1u, EventsStartingWith("attributes").size());
        } else {
            EXPECT_EQ(kPassNothingIdentified, result);
            ExpectOutput(Scanning(process.fullPath) + " ---> Not found");
        }
    }
}

TEST_F(PsapiPassTest, VariantERemovesTheServiceKeyBeforeTheTermination)
{
    CreateServiceKey("pkworme", WorkPath("pkworme.exe"));
    CreateServiceKey("pkworme.exe", WorkPath("pkworme.exe"));
    FakeProcess process = PlantProcess(40, "pkworme.exe", VariantEWormFileBytes());
    AddProcess(process);
    EXPECT_EQ(kPassCleaned, Run(kTestRowWithKey));
    const std::string keyLine =
        "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\pkworme\\ deleted";
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM.E" + keyLine +
                 " (Terminated)" + Deleted(process.fullPath));
    EXPECT_FALSE(ServiceKeyExists("pkworme"));
    EXPECT_TRUE(ServiceKeyExists("pkworme.exe")) << "the key is named before the first dot";
    EXPECT_EQ(Scanning(process.fullPath) + " ---> found TEST.WORM.E" + keyLine,
              LogWhen("terminate 40 259"));
    DeleteServiceKey("pkworme.exe");
}

TEST_F(PsapiPassTest, VariantEKeyStaysDeletedWhenTheTerminationFails)
{
    CreateServiceKey("pkresist", "\"" + WorkPath("pkresist.exe") + "\" -service");
    FakeProcess process = PlantProcess(40, "pkresist.exe", VariantEWormFileBytes());
    process.terminateFailures = kNeverTerminates;
    AddProcess(process);
    EXPECT_EQ(kPassNotTerminated, Run(kTestRowWithKey));
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM.E" +
                 "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\pkresist\\ "
                 "deleted");
    EXPECT_FALSE(ServiceKeyExists("pkresist"));
    EXPECT_TRUE(FileExists(process.fullPath));
}

// A worm named like a system component leaves that component's service alone.
TEST_F(PsapiPassTest, VariantEKeepsTheSameNamedKeyOfAnotherProgram)
{
    CreateServiceKey("pkalg", "%SystemRoot%\\System32\\svchost.exe -k pkalg");
    FakeProcess process = PlantProcess(40, "pkalg.exe", WormFileBytes());
    AddProcess(process);
    EXPECT_EQ(kPassCleaned, Run(kTestRowWithKey));
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM.E (Terminated)" +
                 Deleted(process.fullPath));
    EXPECT_TRUE(ServiceKeyExists("pkalg"));
    DeleteServiceKey("pkalg");
}

TEST_F(PsapiPassTest, VirusFileUnderVariantEKeepsItsServiceKey)
{
    CreateServiceKey("wqk");
    FakeProcess process = PlantProcess(44, "WQK.exe", CleanPeFileBytes());
    AddProcess(process);
    EXPECT_EQ(kPassCleaned, Run(kTestRowWithKey));
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.VIRUS.B (Terminated)" +
                 Deleted(process.fullPath));
    EXPECT_TRUE(ServiceKeyExists("wqk"));
    DeleteServiceKey("wqk");
}

TEST_F(PsapiPassTest, ResistingProcessTakesElevenAttemptsAndTheNextOneGetsOne)
{
    FakeProcess first = PlantProcess(40, "resist1.exe", WormFileBytes());
    first.terminateFailures = kNeverTerminates;
    FakeProcess second = PlantProcess(48, "resist2.exe", WormFileBytes());
    second.terminateFailures = kNeverTerminates;
    AddProcess(first);
    AddProcess(second);
    EXPECT_EQ(kPassNotTerminated, Run());
    EXPECT_EQ(11u, EventsStartingWith("terminate 40 ").size());
    EXPECT_EQ(1u, EventsStartingWith("terminate 48 ").size());
    std::vector<std::string> sleeps = EventsStartingWith("sleep");
    EXPECT_EQ(12u, sleeps.size());
    for (const std::string& sleep : sleeps) {
        EXPECT_EQ("sleep 1000", sleep);
    }
    ExpectOutput(Scanning(first.fullPath) + " ---> found TEST.WORM" + Scanning(second.fullPath) +
                 " ---> found TEST.WORM");
    EXPECT_TRUE(FileExists(first.fullPath));
    EXPECT_TRUE(FileExists(second.fullPath));
    EXPECT_TRUE(EventsStartingWith("delete").empty());
    EXPECT_EQ(1u, EventsStartingWith("close process 40").size());
    EXPECT_EQ(1u, EventsStartingWith("close process 48").size());
}

TEST_F(PsapiPassTest, AttemptCounterBelongsToThePass)
{
    // Four attempts for the first (three failures, then success), so the second has seven.
    FakeProcess first = PlantProcess(40, "slow.exe", WormFileBytes());
    first.terminateFailures = 3;
    FakeProcess second = PlantProcess(48, "resist.exe", WormFileBytes());
    second.terminateFailures = kNeverTerminates;
    AddProcess(first);
    AddProcess(second);
    EXPECT_EQ(kPassNotTerminated, Run());
    EXPECT_EQ(4u, EventsStartingWith("terminate 40 ").size());
    EXPECT_EQ(7u, EventsStartingWith("terminate 48 ").size());
    EXPECT_EQ(11u, EventsStartingWith("sleep 1000").size());
    EXPECT_FALSE(FileExists(first.fullPath));
    EXPECT_TRUE(FileExists(second.fullPath));
}

TEST_F(PsapiPassTest, ResultTellsWhatHappenedToTheLastIdentifiedProcess)
{
    struct Case {
        const char* name;
        int firstFailures;
        int secondFailures;
        int32_t expected;
    };
    const Case cases[] = {
        {"terminated, then resisting", 0, kNeverTerminates, kPassNotTerminated},
        {"resisting, then its single attempt succeeds", kNeverTerminates, 0, kPassCleaned},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        FakeProcess first = PlantProcess(40, "first.exe", WormFileBytes());
        first.terminateFailures = c.firstFailures;
        FakeProcess clean = PlantProcess(44, "clean.exe", CleanPeFileBytes());
        FakeProcess second = PlantProcess(48, "second.exe", WormFileBytes());
        second.terminateFailures = c.secondFailures;
        AddProcess(first);
        AddProcess(clean);
        AddProcess(second);
        EXPECT_EQ(c.expected, Run());
    }
}

TEST_F(PsapiPassTest, FileThatCannotBeDeletedGivesErrorDeleting)
{
    FakeProcess process = PlantProcess(40, "stuck.exe", WormFileBytes());
    FakeProcess clean = PlantProcess(44, "clean.exe", CleanPeFileBytes());
    AddProcess(process);
    AddProcess(clean);
    // Held open for reading without delete sharing: it can be scanned, not deleted.
    HANDLE holder = CreateFileA(process.fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    int32_t result = Run();
    CloseHandle(holder);
    EXPECT_EQ(kPassNotDeleted, result);
    ExpectOutput(Scanning(process.fullPath) + " ---> found TEST.WORM (Terminated)" +
                 "\n\t Error deleting " + process.fullPath + Scanning(clean.fullPath) +
                 " ---> Not found");
    EXPECT_TRUE(FileExists(process.fullPath));
    // The handle is closed after the deletion message.
    EXPECT_NE(std::string::npos, LogWhen("close process 40").find("Error deleting"));
}

TEST_F(PsapiPassTest, RefusedOpenEnablesTheDebugPrivilegeAndAsksForAllAccess)
{
    FakeProcess guarded = PlantProcess(40, "guarded.exe", CleanPeFileBytes());
    guarded.refuseFirstOpen = true;
    FakeProcess second = PlantProcess(44, "guarded2.exe", CleanPeFileBytes());
    second.refuseFirstOpen = true;
    AddProcess(guarded);
    AddProcess(second);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput(Scanning(guarded.fullPath) + " ---> Not found" + Scanning(second.fullPath) +
                 " ---> Not found");
    ExpectEventsInOrder({"open 0x411 40 0", "token 0x28 self",
                         "lookup SeDebugPrivilege local",
                         "adjust token disable=0 count=1 attr=0x2 len=16 noprevious",
                         "close token", "open 0x1F0FFF 40 0",
                         "modules 40 " + std::to_string(sizeof(HMODULE)),
                         "open 0x411 44 0", "token 0x28 self", "close token",
                         "open 0x1F0FFF 44 0"});
    EXPECT_EQ(2u, EventsStartingWith("token").size()) << "the token is opened for each";
}

TEST_F(PsapiPassTest, ProcessThatCannotBeOpenedLeavesNoMessage)
{
    struct Case {
        const char* name;
        bool tokenFails;
        AdjustMode adjust;
        bool refuseAllAccess;
        bool reopened;
    };
    const Case cases[] = {
        {"all access refused too", false, AdjustMode::kFullSuccessSilent, true, true},
        {"token cannot be opened", true, AdjustMode::kFullSuccessSilent, false, false},
        {"privilege not held", false, AdjustMode::kNotAllAssigned, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        g_fake.tokenFails = c.tokenFails;
        g_fake.adjust = c.adjust;
        FakeProcess process = PlantProcess(40, "worm.exe", WormFileBytes());
        process.refuseFirstOpen = true;
        process.refuseAllAccess = c.refuseAllAccess;
        AddProcess(process);
        EXPECT_EQ(kPassNothingIdentified, Run());
        ExpectOutput("");
        EXPECT_EQ(c.reopened ? 1u : 0u, EventsStartingWith("open 0x1F0FFF").size());
        EXPECT_EQ(c.tokenFails ? 0u : 1u, EventsStartingWith("close token").size());
        EXPECT_TRUE(EventsStartingWith("modules").empty());
        EXPECT_TRUE(EventsStartingWith("close process").empty());
        EXPECT_TRUE(FileExists(process.fullPath));
    }
}

TEST_F(PsapiPassTest, OnlyTheFirst1024ProcessIdentifiersAreExamined)
{
    struct Case {
        const char* name;
        size_t processes;
        bool overrideBytes;
        DWORD bytes;
        size_t examined;
    };
    const Case cases[] = {
        {"1100 processes", 1100, false, 0, 1024},
        {"a byte count beyond the array", 1100, true, 8000, 1024},
        {"exactly 1024", 1024, false, 0, 1024},
        {"1023", 1023, false, 0, 1023},
        {"a byte count that is not a multiple of 4", 3, true, 6, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        for (size_t i = 0; i < c.processes; ++i) {
            FakeProcess process = {};
            process.id = static_cast<DWORD>(0x100 + 4 * i);
            process.modulesFail = true;   // passed over in silence
            AddProcess(process);
        }
        g_fake.overrideEnumBytes = c.overrideBytes;
        g_fake.enumBytes = c.bytes;
        EXPECT_EQ(kPassNothingIdentified, Run());
        std::vector<std::string> opens = EventsStartingWith("open 0x411");
        ASSERT_EQ(c.examined, opens.size());
        EXPECT_EQ("open 0x411 256 0", opens.front());
        EXPECT_EQ("open 0x411 " + std::to_string(0x100 + 4 * (c.examined - 1)) + " 0",
                  opens.back());
        EXPECT_EQ(1u, EventsStartingWith("enum").size()) << "the list is read once";
        ExpectOutput("");
    }
}

TEST_F(PsapiPassTest, ProcessListThatCannotBeReadEndsThePass)
{
    struct Case {
        const char* name;
        bool fails;
        DWORD bytes;
    };
    const Case cases[] = {{"EnumProcesses fails", true, 0}, {"no process", false, 0},
                          {"fewer than 4 bytes", false, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        AddProcess(PlantProcess(40, "worm.exe", WormFileBytes()));
        g_fake.enumFails = c.fails;
        g_fake.overrideEnumBytes = true;
        g_fake.enumBytes = c.bytes;
        EXPECT_EQ(kPassNothingIdentified, Run());
        ExpectOutput("");
        EXPECT_TRUE(EventsStartingWith("open").empty());
    }
}

TEST_F(PsapiPassTest, ProcessWithoutReadableNamesIsPassedOverInSilence)
{
    struct Case {
        const char* name;
        bool modulesFail;
        std::string baseName;
        std::string fullPath;
        bool cutLikeXp;
    };
    const std::string tooLong = "C:\\" + std::string(300, 'd') + "\\worm.exe";
    const Case cases[] = {
        {"no module", true, "worm.exe", WorkPath("worm.exe"), false},
        {"no base name", false, "", WorkPath("worm.exe"), false},
        {"no full path", false, "worm.exe", "", false},
        {"full path filling the buffer without a terminator (Windows XP)", false, "worm.exe",
         tooLong, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        WriteBytes(WorkPath("worm.exe"), WormFileBytes());
        FakeProcess process = {};
        process.id = 40;
        process.modulesFail = c.modulesFail;
        process.baseName = c.baseName;
        process.fullPath = c.fullPath;
        process.cutNamesLikeXp = c.cutLikeXp;
        AddProcess(process);
        EXPECT_EQ(kPassNothingIdentified, Run());
        ExpectOutput("");
        EXPECT_EQ(1u, EventsStartingWith("close process 40").size());
        EXPECT_TRUE(EventsStartingWith("terminate").empty());
        EXPECT_TRUE(FileExists(WorkPath("worm.exe")));
    }
    DeleteFileA(WorkPath("worm.exe").c_str());
}

// Windows Vista and later cut a path that does not fit to 259 characters and report that
// length: the cut path here names another file, a worm, which must be left alone.
TEST_F(PsapiPassTest, PathCutTo259CharactersIsPassedOverInSilence)
{
    std::string cutPath = WorkPath("");
    cutPath += std::string(259 - cutPath.size() - 4, 'c') + ".exe";
    ASSERT_EQ(259u, cutPath.size());
    WriteBytes(cutPath, WormFileBytes());
    FakeProcess process = {};
    process.id = 40;
    process.baseName = "app.exe";
    process.fullPath = cutPath + "\\app.exe";   // cut with a terminator, 259 reported
    AddProcess(process);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput("");
    EXPECT_TRUE(EventsStartingWith("terminate").empty());
    EXPECT_TRUE(FileExists(cutPath));
    DeleteFileA(cutPath.c_str());
}

// 258 characters is the longest path a 260-byte buffer shows uncut on every Windows.
TEST_F(PsapiPassTest, PathOf258CharactersIsReportedInFull)
{
    std::string path = "C:\\";
    path += std::string(258 - path.size() - 8, 'p') + "\\app.exe";
    ASSERT_EQ(258u, path.size());
    FakeProcess process = {};
    process.id = 40;
    process.baseName = "app.exe";
    process.fullPath = path;
    AddProcess(process);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput(Scanning(path) + " ---> file locked");
}

TEST_F(PsapiPassTest, UnknownErrorShowsThePassResultSoFar)
{
    struct Case {
        const char* name;
        int firstFailures;
        bool identifiedFirst;
        const char* count;
    };
    const Case cases[] = {
        {"nothing identified yet", 0, false, "-6 Files"},
        {"after a process was cleaned", 0, true, "0 Files"},
        {"after a process resisted", kNeverTerminates, true, "-10 Files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        FakeProcess first = PlantProcess(40, "first.exe",
                                         c.identifiedFirst ? WormFileBytes() : CleanPeFileBytes());
        first.terminateFailures = c.firstFailures;
        FakeProcess broken = PlantProcess(44, "broken.exe", NotPeFileBytes());
        AddProcess(first);
        AddProcess(broken);
        Run();
        std::string tail = Scanning(broken.fullPath) + " ---> unknown error " + c.count;
        ASSERT_GE(LogText().size(), tail.size());
        EXPECT_EQ(tail, LogText().substr(LogText().size() - tail.size()));
        EXPECT_EQ(LogText(), console_);
    }
}

TEST_F(PsapiPassTest, UnknownErrorWithAnUnwritableLogShowsNoNumber)
{
    ASSERT_TRUE(CreateDirectoryA(kLogFileName, nullptr));
    FakeProcess broken = PlantProcess(44, "broken.exe", NotPeFileBytes());
    AddProcess(broken);
    EXPECT_EQ(kPassNothingIdentified, Run());
    EXPECT_EQ(Scanning(broken.fullPath) + " ---> unknown error ", console_);
}

TEST_F(PsapiPassTest, OwnProcessIsReportedButNeverTerminatedNorDeleted)
{
    struct Case {
        const char* name;
        const char* fileName;
        std::string bytes;
        const char* verdict;
    };
    const Case cases[] = {
        {"own file matches the set", "ownworm.exe", WormFileBytes(), " ---> found TEST.WORM.E"},
        {"own file is named wqk.exe", "wqk.exe", CleanPeFileBytes(), " ---> found TEST.VIRUS.B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        CreateServiceKey("ownworm");
        FakeProcess own = PlantProcess(GetCurrentProcessId(), c.fileName, c.bytes);
        AddProcess(own);
        EXPECT_EQ(kPassNothingIdentified, Run(kTestRowWithKey));
        ExpectOutput(Scanning(own.fullPath) + c.verdict);
        EXPECT_TRUE(EventsStartingWith("exitcode").empty());
        EXPECT_TRUE(EventsStartingWith("terminate").empty());
        EXPECT_TRUE(EventsStartingWith("delete").empty());
        EXPECT_TRUE(FileExists(own.fullPath));
        EXPECT_TRUE(ServiceKeyExists("ownworm"));
        EXPECT_EQ(1u, EventsStartingWith("close process").size());
        DeleteServiceKey("ownworm");
    }
}

TEST_F(PsapiPassTest, UnboundBackEndExaminesNothing)
{
    AddProcess(PlantProcess(40, "worm.exe", WormFileBytes()));
    g_processApi.GetModuleFileNameExA = nullptr;
    EXPECT_EQ(kPassNothingIdentified, Run());
    EXPECT_TRUE(g_fake.events.empty());
    ExpectOutput("");
}

}  // namespace
