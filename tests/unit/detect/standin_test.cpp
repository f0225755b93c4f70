// The runnable stand-ins: each idles under the platform until it is ended, and its file is
// found by its own variant's set and by neither other.
#include "scan_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

struct Variant {
    const char* file;
    SignatureSet (*make)();
};

const Variant kVariants[] = {
    {"standin-a.exe", SignatureSetA},
    {"standin-c.exe", SignatureSetC},
    {"standin-e.exe", SignatureSetE},
};

// The folder of the built stand-ins, as a Windows path.
std::string SamplesFolder()
{
    const char* folder = std::getenv("PURGEKIT_SAMPLES");
    return folder != nullptr ? std::string(folder) : std::string();
}

TEST(StandinTest, EachRunsIsFoundByItsOwnSetOnlyAndCanBeEnded)
{
    const std::string folder = SamplesFolder();
    ASSERT_FALSE(folder.empty()) << "PURGEKIT_SAMPLES names the stand-ins' folder";
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.file);
        const std::string path = scan_test::ScratchPath(variant.file);
        ASSERT_TRUE(CopyFileA((folder + "/" + variant.file).c_str(), path.c_str(), FALSE))
            << "error " << GetLastError() << " copying from " << folder;

        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" + path + "\"";
        ASSERT_TRUE(CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
            << "error " << GetLastError();
        // Still running after a while: it idles rather than exits or crashes.
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process.hProcess, 1500));
        DWORD exitCode = 0xDEADBEEF;
        ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), exitCode);

        // Its file, in use by the running process, against every set.
        for (const Variant& set : kVariants) {
            ScanResult wanted = &set == &variant ? kScanFound : kScanNotFound;
            EXPECT_EQ(wanted, scan_test::ScanWith(path, set.make())) << "set of " << set.file;
        }
        EXPECT_FALSE(DeleteFileA(path.c_str())) << "the image of a running process stays";

        EXPECT_TRUE(TerminateProcess(process.hProcess, 7)) << "error " << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process.hProcess, 5000));
        ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
        EXPECT_EQ(7u, exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        // Once ended, its file can go (after the short wait the platform needs).
        Sleep(1000);
        scan_test::RemoveScratch(path);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    }
}

}  // namespace
