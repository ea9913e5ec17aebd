// What Windows and a user take from the built program's resources, read
// back from the exe: the version Explorer shows, the banner and the icon,
// and what the manifest asks of Windows. The window its dialog makes is
// checked through the running program (window_test.cpp).
#include <windows.h>

#include <shellapi.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "ui/res/resource.h"
#include "ui/version.h"

namespace {

class BuiltProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        GetFullPathNameW(L"ui\\felnox1decrypt.exe", MAX_PATH, path_, nullptr);
        module_ = LoadLibraryExW(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    static wchar_t path_[MAX_PATH];
    static HMODULE module_;
};

wchar_t BuiltProgram::path_[MAX_PATH];
HMODULE BuiltProgram::module_;

// A value of the version block's strings, in the language and code page its
// translation table names first, as Explorer looks it up.
std::string VersionString(const Bytes& block, const wchar_t* name)
{
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < 4)
        return "<no translation>";
    wchar_t query[64];
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return Narrow(std::wstring(value, length ? length - 1 : 0));
}

TEST_F(BuiltProgram, VersionBlockHasTheOneVersionAndTheFileName)
{
    const DWORD size = GetFileVersionInfoSizeW(path_, nullptr);
    ASSERT_GT(size, 0u);
    Bytes block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = FELNOX_VERSION_MAJOR << 16 | FELNOX_VERSION_MINOR;
    const DWORD low = FELNOX_VERSION_PATCH << 16 | FELNOX_VERSION_BUILD;
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(VersionString(block, L"FileVersion"), FELNOX_VERSION_TEXT);
    EXPECT_EQ(VersionString(block, L"ProductVersion"), FELNOX_VERSION_TEXT);
    // What Explorer and Task Manager show for the exe, and the name it was built under.
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), Narrow(wcsrchr(path_, L'\\') + 1));
    EXPECT_NE(VersionString(block, L"FileDescription").find("Felnox.1"), std::string::npos);
    EXPECT_NE(VersionString(block, L"ProductName"), "<missing>");
}

TEST_F(BuiltProgram, BannersAndIconLoadAsTheWindowAndExplorerLoadThem)
{
    for (int id : {IDB_BANNER, IDB_BANNER_LARGE}) {
        HANDLE banner = LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        EXPECT_TRUE(banner) << "banner " << id;
        DeleteObject(banner);
    }
    // The window's icon at the sizes Windows asks for; the exe's first icon is what Explorer shows.
    for (int size : {16, 32}) {
        HANDLE icon = LoadImageW(module_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0);
        EXPECT_TRUE(icon) << size << " pixels";
        DestroyIcon(static_cast<HICON>(icon));
    }
    EXPECT_GE(ExtractIconExW(path_, -1, nullptr, nullptr, 0), 1u);
}

TEST_F(BuiltProgram, ManifestNamesEachWindowsAndAsksForNoElevation)
{
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    const std::string text(data, SizeofResource(module_, found));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    // Microsoft's ids of Windows 7, 8, 8.1 and 10/11: a Windows whose id is
    // missing gives the program the behaviour it keeps for older programs
    // (without 10's, Windows 10 and 11 treat it as one for 8.1).
    for (const char* id : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(text.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos) << id;
    // Only per-monitor v2, which the window handles; per-monitor v1 ("true/pm")
    // would leave its scaling on a second monitor to a program that does not do it.
    EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
    EXPECT_EQ(text.find("true/pm"), std::string::npos);
}

} // namespace
