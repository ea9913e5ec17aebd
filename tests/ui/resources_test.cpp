// The resources of the built program, read back from the exe.
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/pe.h"
#include "ui/texts.h"

namespace {

class BuiltProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        GetFullPathNameW(L"ui\\felnox1decrypt.exe", MAX_PATH, path_, nullptr);
        module_ = LoadLibraryExW(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    static Bytes Resource(const wchar_t* type, int id)
    {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!found)
            return Bytes();
        const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module_, found)));
        return Bytes(data, data + SizeofResource(module_, found));
    }

    static wchar_t path_[MAX_PATH];
    static HMODULE module_;
};

wchar_t BuiltProgram::path_[MAX_PATH];
HMODULE BuiltProgram::module_;

// Reads the extended dialog template field by field.
struct TemplateReader {
    const uint8_t* at;
    uint16_t Word() { uint16_t v; memcpy(&v, at, 2); at += 2; return v; }
    uint32_t Dword() { uint32_t v; memcpy(&v, at, 4); at += 4; return v; }
    std::wstring SzOrOrdinal()
    {
        if (Word() == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        at -= 2;
        return String();
    }
    std::wstring String()
    {
        std::wstring text;
        for (uint16_t c; (c = Word()) != 0;)
            text += wchar_t(c);
        return text;
    }
    void AlignDword(const uint8_t* base) { at += (4 - (at - base) % 4) % 4; }
};

TEST_F(BuiltProgram, DialogTemplateIsTheMainWindow)
{
    const Bytes dialog = Resource(RT_DIALOG, 103);
    ASSERT_FALSE(dialog.empty());
    TemplateReader r{dialog.data()};
    EXPECT_EQ(r.Word(), 1);      // version
    EXPECT_EQ(r.Word(), 0xFFFF); // extended template
    r.Dword();                   // help id
    EXPECT_EQ(r.Dword(), 0u) << "no extended style";
    EXPECT_EQ(r.Dword(), DWORD(WS_CAPTION | DS_CENTER | DS_ABSALIGN | DS_SHELLFONT));
    EXPECT_EQ(r.Word(), 3) << "three controls";
    EXPECT_EQ(r.Word(), 0);
    EXPECT_EQ(r.Word(), 0);
    EXPECT_EQ(r.Word(), 305);
    EXPECT_EQ(r.Word(), 177);
    EXPECT_EQ(Narrow(r.SzOrOrdinal()), "") << "no menu";
    EXPECT_EQ(Narrow(r.SzOrOrdinal()), "") << "no class";
    EXPECT_EQ(Narrow(r.String()), "") << "no title";
    EXPECT_EQ(r.Word(), 8);   // points
    EXPECT_EQ(r.Word(), 400); // weight
    EXPECT_EQ(*r.at++, 0);    // not italic
    EXPECT_EQ(*r.at++, 204);  // Cyrillic character set
    EXPECT_EQ(Narrow(r.String()), "MS Shell Dlg");

    struct Control {
        DWORD id, exStyle, style;
        uint16_t x, y, cx, cy;
        const char* className;
        std::string text;
    };
    // The captions the window starts with are the English texts the code
    // puts there in Russian: the .rc and the texts must not drift apart.
    const std::string continueText = Narrow(UiText(TEXT_CONTINUE_BUTTON));
    const std::string exitText = Narrow(UiText(TEXT_EXIT_BUTTON));
    const Control expected[] = {
        {1000, 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT, 83, 148, 64, 13, "#128", continueText},
        {1001, 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON | BS_FLAT, 158, 148, 64, 13, "#128", exitText},
        {1006, WS_EX_TRANSPARENT,
         WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP,
         0, 58, 305, 82, "#129", ""},
    };
    for (const Control& c : expected) {
        r.AlignDword(dialog.data());
        r.Dword(); // help id
        EXPECT_EQ(r.Dword(), c.exStyle) << c.id;
        EXPECT_EQ(r.Dword(), c.style) << c.id;
        EXPECT_EQ(r.Word(), c.x) << c.id;
        EXPECT_EQ(r.Word(), c.y) << c.id;
        EXPECT_EQ(r.Word(), c.cx) << c.id;
        EXPECT_EQ(r.Word(), c.cy) << c.id;
        EXPECT_EQ(r.Dword(), c.id);
        EXPECT_EQ(Narrow(r.SzOrOrdinal()), c.className) << c.id;
        EXPECT_EQ(Narrow(r.SzOrOrdinal()), c.text) << c.id;
        r.at += r.Word(); // creation data
    }
}

TEST_F(BuiltProgram, BannerAndIconHaveTheirSizesAndDepths)
{
    const Bytes banner = Resource(RT_BITMAP, 130);
    ASSERT_GE(banner.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    memcpy(&header, banner.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 459);
    EXPECT_EQ(std::abs(header.biHeight), 108);
    EXPECT_EQ(header.biBitCount, 24);

    const Bytes group = Resource(RT_GROUP_ICON, 131);
    ASSERT_GE(group.size(), 6u + 14u);
    EXPECT_EQ(group[4] | group[5] << 8, 1) << "one image";
    const uint8_t* entry = group.data() + 6;
    EXPECT_EQ(entry[0], 32);
    EXPECT_EQ(entry[1], 32);
    EXPECT_EQ(entry[2], 16) << "16 colours";
    EXPECT_EQ(entry[6] | entry[7] << 8, 4) << "4 bits per pixel";
}

std::string VersionString(const Bytes& block, const wchar_t* name)
{
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return Narrow(std::wstring(value, length ? length - 1 : 0));
}

TEST_F(BuiltProgram, VersionBlockNamesTheProgram)
{
    const DWORD size = GetFileVersionInfoSizeW(path_, nullptr);
    ASSERT_GT(size, 0u);
    Bytes block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(1 << 16 | 0));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(2 << 16 | 4));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(VersionString(block, L"FileVersion"), "1.0.2.4");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), "1.0.2.4");
    EXPECT_EQ(VersionString(block, L"FileDescription"), "Trojan.Felnox.1 file decryptor");
    EXPECT_EQ(VersionString(block, L"InternalName"), "felnox1decrypt");
    EXPECT_EQ(VersionString(block, L"ProductName"), "felnox1decrypt");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), "felnox1decrypt.exe");
    EXPECT_NE(VersionString(block, L"CompanyName"), "<missing>");
}

TEST_F(BuiltProgram, ManifestRunsAsInvokerWithCommonControls6AwareOfDpi)
{
    const Bytes manifest = Resource(RT_MANIFEST, 1);
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(text.find(">PerMonitorV2, System</dpiAwareness>"), std::string::npos);
    size_t systems = 0; // Windows 7, 8, 8.1 and 10/11
    for (size_t at = 0; (at = text.find("<supportedOS ", at)) != std::string::npos; ++at)
        ++systems;
    EXPECT_EQ(systems, 4u);
}

} // namespace
