// The scan thread's view of the system folder in a 32-bit process on 64-bit
// Windows: redirected to SysWOW64 unless the scan stops it.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "scan/redirection_win.h"
#include "tests/support/files.h"
#include "tests/support/pe.h"

namespace {

// The machine of System32's kernel32.dll as this thread sees it: the
// system's own, or i386 when SysWOW64 stands in for it.
WORD SystemKernelMachine()
{
    wchar_t folder[MAX_PATH];
    if (!GetWindowsDirectoryW(folder, MAX_PATH))
        return 0;
    const Bytes dll = ReadBytes(std::wstring(folder) + L"\\System32\\kernel32.dll");
    return dll.size() > 4096 ? PeFile(dll).Headers()->FileHeader.Machine : 0;
}

TEST(Redirection, StoppedAndRestoredOnTheCallingThread)
{
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    if (!wow64)
        GTEST_SKIP() << "not a 32-bit process on 64-bit Windows: nothing is redirected";
    void* cookie = nullptr;
    EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386);
    ASSERT_TRUE(StopFileSystemRedirection(&cookie));
    EXPECT_NE(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386) << "System32 still shows SysWOW64";
    RestoreFileSystemRedirection(cookie);
    EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386) << "redirection not restored";
}

} // namespace
