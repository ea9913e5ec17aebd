// The main window at the display scalings victims' screens have: 100 %,
// 125 %, 150 % and 200 %. Wine reads the DPI from the registry when a
// program starts; the test prefix has none set, which means 96.
#include <string>

#include <gtest/gtest.h>

#include "tests/ui/program.h"

using namespace uidriver;

namespace {

class LayoutTest : public ProgramTest, public ::testing::WithParamInterface<DWORD> {
protected:
    void SetLogPixels(DWORD dpi)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi, sizeof dpi), 0);
    }
    void TearDown() override
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
        ProgramTest::TearDown();
    }
    const wchar_t* const kDesktop = L"Control Panel\\Desktop";
};

TEST_P(LayoutTest, NothingCoversAnotherOrIsCutOff)
{
    SetLogPixels(GetParam());
    Start(Plain(data_));

    struct Part {
        const char* name;
        HWND window;
        RECT rect;
    };
    Part parts[] = {{"Continue", GetDlgItem(window_, 1000), {}},
                    {"Exit", GetDlgItem(window_, 1001), {}},
                    {"introduction", GetDlgItem(window_, 1006), {}},
                    {"bar", FindChildByClass(window_, L"msctls_progress32"), {}},
                    {"status line", FindChildByClass(window_, L"msctls_statusbar32"), {}}};
    RECT client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    for (Part& part : parts) {
        ASSERT_TRUE(part.window) << part.name;
        GetWindowRect(part.window, &part.rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&part.rect), 2);
        RECT inside;
        IntersectRect(&inside, &part.rect, &client);
        EXPECT_TRUE(EqualRect(&inside, &part.rect)) << part.name << " is cut off";
    }
    for (const Part& a : parts)
        for (const Part* b = &a + 1; b != std::end(parts); ++b) {
            RECT overlap;
            IntersectRect(&overlap, &a.rect, &b->rect);
            // The box and the bar below it may meet.
            const int allowed = std::string(b->name) == "bar" && std::string(a.name) == "introduction" ? 2 : 0;
            EXPECT_LE(overlap.bottom - overlap.top, allowed) << a.name << " covers " << b->name;
        }

    // No line of the introduction wraps.
    const std::wstring intro = GetControlText(window_, 1006);
    size_t lines = 1;
    for (size_t at = 0; (at = intro.find(L"\r\n", at)) != std::wstring::npos; at += 2)
        ++lines;
    EXPECT_EQ(size_t(SendMessageW(parts[2].window, EM_GETLINECOUNT, 0, 0)), lines);
    ExpectEndsAfterExit();
}

INSTANTIATE_TEST_SUITE_P(, LayoutTest, ::testing::Values(96, 120, 144, 192));

} // namespace
