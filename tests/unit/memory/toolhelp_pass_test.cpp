// The memory pass over the Toolhelp back-end, on a fake snapshot whose entries carry full
// paths as Windows 95, 98 and ME give them.
#include "fake_system.h"

#include "run/run.h"

#include <cstring>
#include <string>

namespace {

using ToolhelpPassTest = CapturedPassTest<&CleanProcessesToolhelp, &FakeSystemTest::FillToolhelp>;

TEST_F(ToolhelpPassTest, SnapshotRecordHasItsRealSizeAndIsZeroFilled)
{
    AddProcess(PlantProcess(40, "clean.exe", CleanPeFileBytes()));
    EXPECT_EQ(kPassNothingIdentified, Run());
    EXPECT_EQ(sizeof(PROCESSENTRY32), g_fake.firstEntrySize);
    // The size Windows checks for a program of this build's kind: 296 bytes in the shipped
    // 32-bit program, 304 in a 64-bit one.
    EXPECT_EQ(sizeof(void*) == 4 ? 296u : 304u, g_fake.firstEntrySize);
    EXPECT_TRUE(g_fake.firstEntryZeroed);
    ExpectEventsInOrder({"snapshot 2 0", "first " + std::to_string(sizeof(PROCESSENTRY32)),
                         "next", "close snapshot"});
    EXPECT_EQ(1u, EventsStartingWith("close snapshot").size());
}

TEST_F(ToolhelpPassTest, EveryResultButFoundIsNotFound)
{
    struct Case {
        const char* name;
        std::string bytes;
        uint32_t count;
    };
    const Case cases[] = {
        {"not found (0)", CleanPeFileBytes(), 1},
        {"no such file (-1)", "", 1},
        {"shorter than 60 bytes (-25)", ShortFileBytes(), 1},
        {"not a PE file (-26)", NotPeFileBytes(), 1},
        {"PE header read short (-27)", ShortReadFileBytes(), 1},
        {"invalid set (-2)", WormFileBytes(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        FakeProcess process = PlantProcess(40, "program.exe", c.bytes);
        AddProcess(process);
        EXPECT_EQ(kPassNothingIdentified, Run(kTestRow, c.count));
        ExpectOutput(Scanning(process.fullPath) + " ---> Not found");
        EXPECT_TRUE(EventsStartingWith("open").empty()) << "opened only once identified";
    }
}

TEST_F(ToolhelpPassTest, IdentifiedProcessIsOpenedForTerminationAlone)
{
    FakeProcess clean = PlantProcess(36, "clean.exe", CleanPeFileBytes());
    FakeProcess worm = PlantProcess(40, "worm.exe", WormFileBytes());
    AddProcess(clean);
    AddProcess(worm);
    EXPECT_EQ(kPassCleaned, Run());
    ExpectOutput(Scanning(clean.fullPath) + " ---> Not found" + Scanning(worm.fullPath) +
                 " ---> found TEST.WORM (Terminated)" + Deleted(worm.fullPath));
    EXPECT_EQ(std::vector<std::string>{"open 0x1 40 0"}, EventsStartingWith("open"));
    ExpectEventsInOrder({"open 0x1 40 0", "exitcode 40", "terminate 40 259", "sleep 1000",
                         "close process 40", "attributes " + worm.fullPath + " 0x80",
                         "delete " + worm.fullPath, "close snapshot"});
    EXPECT_FALSE(FileExists(worm.fullPath));
    EXPECT_TRUE(FileExists(clean.fullPath));
}

TEST_F(ToolhelpPassTest, HandleIsClosedBeforeTerminatedIsReported)
{
    FakeProcess worm = PlantProcess(40, "worm.exe", WormFileBytes());
    AddProcess(worm);
    EXPECT_EQ(kPassCleaned, Run());
    EXPECT_EQ(Scanning(worm.fullPath) + " ---> found TEST.WORM", LogWhen("close process 40"));
}

TEST_F(ToolhelpPassTest, IdentifiedProcessThatCannotBeOpenedGivesMinus9)
{
    FakeProcess worm = PlantProcess(40, "guarded.exe", WormFileBytes());
    worm.refuseTerminateOpen = true;
    FakeProcess clean = PlantProcess(44, "clean.exe", CleanPeFileBytes());
    AddProcess(worm);
    AddProcess(clean);
    EXPECT_EQ(kPassCannotOpen, Run());
    ExpectOutput(Scanning(worm.fullPath) + " ---> found TEST.WORM" + Scanning(clean.fullPath) +
                 " ---> Not found");
    EXPECT_TRUE(EventsStartingWith("terminate").empty());
    EXPECT_TRUE(EventsStartingWith("close process").empty());
    EXPECT_TRUE(FileExists(worm.fullPath));
}

TEST_F(ToolhelpPassTest, EntriesWithoutABackslashGetTheirScanningLineAlone)
{
    // Wine's Toolhelp gives bare names like these.
    FakeProcess bare = {};
    bare.id = 40;
    bare.fullPath = "wqk.exe";
    FakeProcess bareWorm = {};
    bareWorm.id = 44;
    bareWorm.fullPath = "worm.exe";
    AddProcess(bare);
    AddProcess(bareWorm);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput(Scanning("wqk.exe") + Scanning("worm.exe"));
    EXPECT_TRUE(EventsStartingWith("open").empty());
    EXPECT_TRUE(EventsStartingWith("attributes").empty()) << "nothing was scanned";
}

TEST_F(ToolhelpPassTest, PathEndingInABackslashIsScanned)
{
    FakeProcess folder = {};
    folder.id = 40;
    folder.fullPath = WorkPath("");
    AddProcess(folder);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput(Scanning(folder.fullPath) + " ---> Not found");
}

TEST_F(ToolhelpPassTest, VirusFileNameInAnyCaseIsIdentifiedWithoutScanning)
{
    const char* const names[] = {"wqk.exe", "WQK.EXE", "Wqk.Exe"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Reset();
        CreateServiceKey("wqk");
        FakeProcess virus = PlantProcess(40, name, CleanPeFileBytes());
        AddProcess(virus);
        EXPECT_EQ(kPassCleaned, Run(kTestRowWithKey));
        ExpectOutput(Scanning(virus.fullPath) + " ---> found TEST.VIRUS.B (Terminated)" +
                     Deleted(virus.fullPath));
        EXPECT_EQ(1u, EventsStartingWith("attributes").size()) << "not scanned";
        EXPECT_TRUE(ServiceKeyExists("wqk"));
        DeleteServiceKey("wqk");
    }
}

TEST_F(ToolhelpPassTest, VariantERemovesTheServiceKeyBeforeTheTermination)
{
    CreateServiceKey("pkworme", WorkPath("pkworme.exe"));
    FakeProcess worm = PlantProcess(40, "pkworme.exe", VariantEWormFileBytes());
    AddProcess(worm);
    EXPECT_EQ(kPassCleaned, Run(kTestRowWithKey));
    const std::string keyLine =
        "\n\t Registry entry \"HKLM\\SYSTEM\\CurrentControlSet\\Services\\pkworme\\ deleted";
    ExpectOutput(Scanning(worm.fullPath) + " ---> found TEST.WORM.E" + keyLine + " (Terminated)" +
                 Deleted(worm.fullPath));
    EXPECT_FALSE(ServiceKeyExists("pkworme"));
    EXPECT_EQ(Scanning(worm.fullPath) + " ---> found TEST.WORM.E" + keyLine,
              LogWhen("open 0x1 40 0"));
}

TEST_F(ToolhelpPassTest, ResistingProcessTakesElevenAttemptsAndTheNextOneGetsOne)
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
    EXPECT_EQ(12u, EventsStartingWith("sleep 1000").size());
    EXPECT_EQ(12u, EventsStartingWith("sleep").size());
    ExpectOutput(Scanning(first.fullPath) + " ---> found TEST.WORM" + Scanning(second.fullPath) +
                 " ---> found TEST.WORM");
    EXPECT_EQ(1u, EventsStartingWith("close process 40").size());
    EXPECT_EQ(1u, EventsStartingWith("close process 48").size());
    EXPECT_TRUE(FileExists(first.fullPath));
}

TEST_F(ToolhelpPassTest, FileThatCannotBeDeletedGivesErrorDeleting)
{
    g_fake.deleteFails = true;
    FakeProcess worm = PlantProcess(40, "stuck.exe", WormFileBytes());
    AddProcess(worm);
    EXPECT_EQ(kPassNotDeleted, Run());
    ExpectOutput(Scanning(worm.fullPath) + " ---> found TEST.WORM (Terminated)" +
                 "\n\t Error deleting " + worm.fullPath);
}

TEST_F(ToolhelpPassTest, ReadOnlyExecutableIsDeleted)
{
    FakeProcess worm = PlantProcess(40, "readonly.exe", WormFileBytes());
    AddProcess(worm);
    ASSERT_TRUE(SetFileAttributesA(worm.fullPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(kPassCleaned, Run());
    EXPECT_FALSE(FileExists(worm.fullPath));
}

TEST_F(ToolhelpPassTest, SnapshotFailuresEndThePassWithoutAMessage)
{
    struct Case {
        const char* name;
        bool snapshotFails;
        bool firstFails;
        bool snapshotClosed;
    };
    const Case cases[] = {
        {"no snapshot", true, false, false},
        {"no first entry", false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        AddProcess(PlantProcess(40, "worm.exe", WormFileBytes()));
        g_fake.snapshotFails = c.snapshotFails;
        g_fake.firstFails = c.firstFails;
        EXPECT_EQ(kPassNothingIdentified, Run());
        ExpectOutput("");
        EXPECT_EQ(c.snapshotClosed ? 1u : 0u, EventsStartingWith("close snapshot").size());
    }
}

TEST_F(ToolhelpPassTest, ExeFileWithoutTerminatorIsUsedOnlyWithinItsBuffer)
{
    g_fake.fillWholeExeFile = true;
    FakeProcess process = {};
    process.id = 40;
    process.fullPath = "C:\\" + std::string(300, 'q');
    AddProcess(process);
    EXPECT_EQ(kPassNothingIdentified, Run());
    ExpectOutput(Scanning(process.fullPath.substr(0, MAX_PATH - 1)) + " ---> Not found");
}

TEST_F(ToolhelpPassTest, OwnProcessIsReportedButNeverTerminatedNorDeleted)
{
    CreateServiceKey("ownworm");
    FakeProcess own = PlantProcess(GetCurrentProcessId(), "ownworm.exe", WormFileBytes());
    AddProcess(own);
    EXPECT_EQ(kPassNothingIdentified, Run(kTestRowWithKey));
    ExpectOutput(Scanning(own.fullPath) + " ---> found TEST.WORM.E");
    EXPECT_TRUE(EventsStartingWith("open").empty());
    EXPECT_TRUE(EventsStartingWith("terminate").empty());
    EXPECT_TRUE(FileExists(own.fullPath));
    EXPECT_TRUE(ServiceKeyExists("ownworm"));
    DeleteServiceKey("ownworm");
}

TEST_F(ToolhelpPassTest, UnboundBackEndExaminesNothing)
{
    AddProcess(PlantProcess(40, "worm.exe", WormFileBytes()));
    g_processApi.Process32Next = nullptr;
    EXPECT_EQ(kPassNothingIdentified, Run());
    EXPECT_TRUE(g_fake.events.empty());
}

}  // namespace
