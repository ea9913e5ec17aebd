// The protections a trusted Windows tool is built with, read from the
// program's PE headers: it may be started from a Downloads folder where
// anything lies beside it.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/pe.h"

namespace {

TEST(Hardening, ProgramHasAslrHighEntropyAslrAndDep)
{
    // CTest runs the tests from the build folder.
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetFullPathNameW(L"ui\\felnox1decrypt.exe", MAX_PATH, path, nullptr), 0u);
    const Bytes exe = ReadBytes(path);
    ASSERT_GT(exe.size(), 4096u);
    const PeFile pe(exe);
    const IMAGE_NT_HEADERS64* headers = pe.Headers();
    ASSERT_EQ(headers->Signature, DWORD(IMAGE_NT_SIGNATURE));
    ASSERT_EQ(headers->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);

    const WORD flags = headers->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "no ASLR";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) << "no high-entropy ASLR";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "no DEP";
    // Without relocations the loader cannot move the image, whatever the flag says.
    EXPECT_FALSE(headers->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u)
        << "no relocations";

    // The DLL search is restricted to the system folder at start.
    const std::vector<std::string> kernel = pe.ImportedFunctions("kernel32.dll");
    EXPECT_NE(std::find(kernel.begin(), kernel.end(), "SetDefaultDllDirectories"), kernel.end());
}

} // namespace
