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

        // The DLL search is restricted to the system folder at start.
        const std::vector<std::string> kernel = pe.ImportedFunctions("kernel32.dll");
        EXPECT_NE(std::find(kernel.begin(), kernel.end(), "SetDefaultDllDirectories"), kernel.end());

        const std::string architecture =
            std::string("processorArchitecture=\"") + build.manifestArchitecture + "\"";
        EXPECT_NE(Manifest(path).find(architecture), std::string::npos) << "manifest lacks " << architecture;
    }
}

} // namespace
