// Screenshots of the window for the documentation: before and after a scan.
// Runs only when FELNOX_SCREENSHOTS names a folder (tools/screenshots.sh).
#include <gtest/gtest.h>

#include "tests/support/locker.h"
#include "tests/ui/program.h"
#include "tests/ui/samples.h"

using namespace uidriver;

namespace {

class Screenshots : public ProgramTest {};

TEST_F(Screenshots, BeforeAndAfterAScan)
{
    wchar_t folder[MAX_PATH];
    if (!GetEnvironmentVariableW(L"FELNOX_SCREENSHOTS", folder, MAX_PATH))
        GTEST_SKIP() << "FELNOX_SCREENSHOTS names no folder";
    const std::wstring language = PRIMARYLANGID(GetUserDefaultLangID()) == LANG_RUSSIAN ? L"ru" : L"en";

    const Bytes keystream = RandomBytes(4096, 30);
    const auto samples = LockPlainTree(data_, keystream, 16);
    PutKeyBesideProgram(KeyFileFormB(keystream));
    Start(Plain(data_));
    Sleep(1000);
    ASSERT_TRUE(SaveWindowScreenshot(window_, std::wstring(folder) + L"\\window-" + language + L"-before.bmp"));

    PressContinue();
    std::wstring text;
    HWND box = WaitForBox(&text);
    ASSERT_TRUE(box);
    ASSERT_TRUE(ClickButton(box, IDYES));
    box = WaitForBox(&text);
    ASSERT_TRUE(box);
    ASSERT_TRUE(ClickButton(box, IDOK));
    ASSERT_TRUE(WaitForWindowClosed(box, kWait));
    Sleep(1000);
    ASSERT_TRUE(SaveWindowScreenshot(window_, std::wstring(folder) + L"\\window-" + language + L"-after.bmp"));
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

} // namespace
