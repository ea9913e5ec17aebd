// The protections a trusted Windows tool is built with, read from the
// program's PE headers: it may be started from a Downloads folder where
// anything lies beside it.
#include <windows.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/pe.h"

namespace {

// CTest runs the tests from the build folder.
Bytes ReadProgram(const wchar_t* relativePath)
{
    wchar_t path[MAX_PATH];
    if (!GetFullPathNameW(relativePath, MAX_PATH, path, nullptr) ||
        GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return Bytes();
    return ReadBytes(path);
}

// Both builds, as tools/build.sh lays them out; CTest runs the tests from
// the 64-bit build folder.
struct Build {
    const wchar_t* path;
    WORD machine;
    WORD magic;             // PE32+ or PE32
    bool highEntropy;       // a 32-bit address space has no room for it
    const char* manifestArchitecture;
};
const Build kBuilds[] = {
    {L"ui\\felnox1decrypt.exe", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC, true, "amd64"},
    {L"..\\windows-x86\\ui\\felnox1decrypt.exe", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC,
     false, "x86"},
};

std::string Manifest(const wchar_t* path)
{
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return std::string();
    std::string text;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) { // RT_MANIFEST
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        text.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

TEST(Hardening, EachBuildHasAslrDepAndItsOwnArchitecture)
{
    for (const Build& build : kBuilds) {
        SCOPED_TRACE(testing::Message() << "exe " << Narrow(build.path));
        wchar_t path[MAX_PATH];
        ASSERT_NE(GetFullPathNameW(build.path, MAX_PATH, path, nullptr), 0u);
        const Bytes exe = ReadBytes(path);
        ASSERT_GT(exe.size(), 4096u);
        const PeFile pe(exe);
        const IMAGE_NT_HEADERS64* headers = pe.Headers();
        ASSERT_EQ(headers->Signature, DWORD(IMAGE_NT_SIGNATURE));
        EXPECT_EQ(headers->FileHeader.Machine, build.machine);
        ASSERT_EQ(headers->OptionalHeader.Magic, build.magic);

        const WORD flags = headers->OptionalHeader.DllCharacteristics;
        EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "no ASLR";
        EXPECT_EQ(bool(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA), build.highEntropy)
            << "high-entropy ASLR";
        EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "no DEP";
        // Without relocations the loader cannot move the image, whatever the flag says.
        EXPECT_FALSE(headers->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
        EXPECT_GT(pe.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u) << "no relocations";

        const std::string architecture =
            std::string("processorArchitecture=\"") + build.manifestArchitecture + "\"";
        EXPECT_NE(Manifest(path).find(architecture), std::string::npos) << "manifest lacks " << architecture;
    }
}

// The exes users get, relative to the build folder: this build's, and the
// other architecture's where its build folder lies beside this one.
const wchar_t* const kPrograms[] = {
    L"ui\\felnox1decrypt.exe",
    L"..\\windows-x86\\ui\\felnox1decrypt.exe",
};

// DLLs that Windows 7, 8, 8.1, 10 and 11 all list among their KnownDLLs
// (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs): the
// loader maps the system's own copy of each, and of what it imports, and
// searches no folder for them. A DLL that is not on that list (comctl32,
// whose version 6 lives in WinSxS; uxtheme; version) is searched for beside
// the exe before the program's first line runs. Others of that list
// (advapi32, ole32, shlwapi, ws2_32...) may join here when needed.
const char* const kKnownDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                  "shell32.dll",  "comdlg32.dll", "msvcrt.dll"};

// Functions a Windows 7 SP1 as it ships lacks. Imported, any of them makes
// the loader refuse the exe ("entry point not found"); look them up with
// GetProcAddress instead.
const char* const kNewerThanWindows7[] = {
    // Only with update KB2533623:
    "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory",
    // Windows 8:
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "CopyFile2", "GetCurrentThreadStackLimits",
    "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll",
    // Windows 10:
    "GetDpiForWindow", "GetDpiForSystem", "SetThreadDpiAwarenessContext",
    "SetProcessDpiAwarenessContext", "AdjustWindowRectExForDpi", "SystemParametersInfoForDpi",
    "GetSystemMetricsForDpi", "EnableNonClientDpiScaling"};

// Imported only by the C++ runtime's own machinery: exception unwinding,
// and the POSIX threads library (its vectored handler, its threads). The
// program throws nothing and starts its one thread with CreateThread; any
// of them means that something (a guarded static, a std:: facility) brought
// that machinery in, and with it half as much exe again.
const char* const kRuntimeMachinery[] = {"RaiseException", "AddVectoredExceptionHandler",
                                         "_beginthreadex"};

template <size_t n>
bool Lists(const char* const (&list)[n], const std::string& name)
{
    return std::find(list, list + n, name) != list + n;
}

class ProgramLoading : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override
    {
        exe_ = ReadProgram(GetParam());
        if (exe_.empty() && GetParam() != kPrograms[0])
            GTEST_SKIP() << Narrow(GetParam()) << " is not built";
        ASSERT_GT(exe_.size(), 4096u) << Narrow(GetParam());
    }
    Bytes exe_;
};

TEST_P(ProgramLoading, ImportsOnlyKnownDlls)
{
    const PeFile pe(exe_);
    for (const std::string& dll : pe.Imports())
        EXPECT_TRUE(Lists(kKnownDlls, dll)) << "imports " << dll;
}

TEST_P(ProgramLoading, StartsOnWindows7Sp1)
{
    const PeFile pe(exe_);
    for (const std::string& dll : pe.Imports())
        for (const std::string& function : pe.ImportedFunctions(dll))
            EXPECT_FALSE(Lists(kNewerThanWindows7, function)) << "imports " << function << " from " << dll;
    // The header states the oldest Windows it runs on: 7 SP1 is 6.1.
    const IMAGE_OPTIONAL_HEADER64& header = pe.Headers()->OptionalHeader;
    EXPECT_EQ(header.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(header.MajorOperatingSystemVersion * 100 + header.MinorOperatingSystemVersion, 601);
    EXPECT_EQ(header.MajorSubsystemVersion * 100 + header.MinorSubsystemVersion, 601);
}

TEST_P(ProgramLoading, CarriesNoExceptionOrThreadLibraryRuntime)
{
    const PeFile pe(exe_);
    for (const std::string& dll : pe.Imports())
        for (const std::string& function : pe.ImportedFunctions(dll))
            EXPECT_FALSE(Lists(kRuntimeMachinery, function)) << "imports " << function << " from " << dll;
}

INSTANTIATE_TEST_SUITE_P(, ProgramLoading, ::testing::ValuesIn(kPrograms));

} // namespace
