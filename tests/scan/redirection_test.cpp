// The scan thread's view of the system folder in a 32-bit process on 64-bit
// Windows: redirected to SysWOW64 unless the scan stops it, which it does
// only for the paths the system redirects.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "scan/redirection.h"
#include "scan/redirection_win.h"
#include "tests/support/files.h"
#include "tests/support/pe.h"

namespace {

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH];
    return GetSystemWindowsDirectoryW(folder, MAX_PATH) ? folder : L"";
}

// The machine of System32's kernel32.dll as this thread sees it: the
// system's own, or i386 when SysWOW64 stands in for it.
WORD SystemKernelMachine()
{
    const Bytes dll = ReadBytes(WindowsFolder() + L"\\System32\\kernel32.dll");
    return dll.size() > 4096 ? PeFile(dll).Headers()->FileHeader.Machine : 0;
}

TEST(Redirection, StoppedForASystemPathOnlyAndRestoredOnTheCallingThread)
{
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    if (!wow64)
        GTEST_SKIP() << "not a 32-bit process on 64-bit Windows: nothing is redirected";
    void* cookie = nullptr;
    EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386);
    const std::wstring elsewhere = L"\\\\?\\" + WindowsFolder() + L"\\SysWOW64\\kernel32.dll";
    EXPECT_FALSE(StopFileSystemRedirectionFor(elsewhere.c_str(), &cookie));
    EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386) << "stopped for a path not redirected";
    const std::wstring system = L"\\\\?\\" + WindowsFolder() + L"\\system32\\*.*";
    ASSERT_TRUE(StopFileSystemRedirectionFor(system.c_str(), &cookie));
    EXPECT_NE(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386) << "System32 still shows SysWOW64";
    RestoreFileSystemRedirection(cookie);
    EXPECT_EQ(SystemKernelMachine(), IMAGE_FILE_MACHINE_I386) << "redirection not restored";
}

TEST(Redirection, SystemFoldersButNotTheirExemptSubfolders)
{
    const struct {
        const wchar_t* path;
        bool redirected;
    } cases[] = {
        {L"C:\\Windows\\System32", true},
        {L"\\\\?\\c:\\windows\\system32\\drivers\\x.sys", true},
        {L"\\\\.\\C:\\WINDOWS\\SYSTEM32\\*.*", true},
        {L"C:\\Windows\\System32\\DriverStore\\FileRepository", true}, // Vista redirects it
        {L"C:\\Windows\\System32\\catroot3", true},
        {L"C:\\Windows\\System32\\drivers\\etcetera", true},
        {L"C:\\Windows\\lastgood\\System32\\a.dll", true},
        {L"C:\\Windows\\regedit.exe", true},
        {L"\\\\?\\C:\\WINDOWS\\REGEDIT.EXE", true},
        {L"C:\\Windows\\System32\\catroot\\{F750E6C3}", false},
        {L"C:\\Windows\\System32\\CatRoot2", false},
        {L"C:\\Windows\\System32\\drivers\\etc\\hosts", false},
        {L"C:\\Windows\\System32\\LogFiles\\*.*", false},
        {L"\\\\?\\C:\\Windows\\system32\\spool", false},
        {L"C:\\Windows\\lastgood\\a.dll", false},
        {L"C:\\Windows\\regedit.exe.bak", false},
        {L"C:\\Windows\\System32x", false},
        {L"C:\\Windows\\Sysnative\\kernel32.dll", false},
        {L"C:\\Windows", false},
        {L"C:\\Windows2\\System32", false},
        {L"D:\\Windows\\System32", false},
        {L"\\\\?\\UNC\\server\\share\\Windows\\System32", false},
        {L"", false},
    };
    for (const wchar_t* windows : {L"C:\\Windows", L"C:\\Windows\\"})
        for (const auto& c : cases)
            EXPECT_EQ(IsRedirectedPath(c.path, windows), c.redirected)
                << Narrow(c.path) << " in " << Narrow(windows);
    EXPECT_FALSE(IsRedirectedPath(L"C:\\Windows\\System32", L""));
}

} // namespace
