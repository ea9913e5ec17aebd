// The main window end to end: keyboard, Exit during a scan, the Russian face.
#include <gtest/gtest.h>

#include "tests/support/locker.h"
#include "tests/ui/program.h"
#include "tests/ui/samples.h"

using namespace uidriver;

namespace {

class WindowTest : public ProgramTest {};

TEST_F(WindowTest, EnterRightAfterStartEndsTheProgram)
{
    Start(Plain(data_));
    EXPECT_EQ(GetFocusedControlId(window_), 1001);
    EXPECT_EQ(GetDefaultButtonId(window_), 1001);
    EXPECT_EQ(Narrow(GetControlText(window_, 1000)), "Continue");
    EXPECT_EQ(Narrow(GetControlText(window_, 1001)), "Exit");
    ASSERT_TRUE(PressKey(window_, VK_RETURN));
    DWORD code = 1;
    EXPECT_TRUE(process_.WaitForExit(kWait, &code));
    EXPECT_EQ(code, 0u);
}

TEST_F(WindowTest, EscapeDoesNotCloseTheWindow)
{
    Start(Plain(data_));
    // Tab, pressed after Escape, moves the focus from Exit to the
    // introduction only once Escape has been handled, and only in a window
    // that is still there.
    ASSERT_TRUE(PressKey(window_, VK_ESCAPE));
    ASSERT_TRUE(PressKey(window_, VK_TAB));
    EXPECT_TRUE(WaitUntil([&] { return GetFocusedControlId(window_) == 1006; }, kWait));
    EXPECT_TRUE(IsWindowVisible(window_));
    ExpectEndsAfterExit();
}

TEST_F(WindowTest, ShowsTheIntroductionAndTheBarAtRest)
{
    Start(Plain(data_));
    const std::wstring intro = GetControlText(window_, 1006);
    EXPECT_EQ(intro.find(L"Free utility to recover files crypted by Trojan.Felnox.1\r\n\r\n"), 0u);
    EXPECT_NE(intro.find(L"<AS IS>"), std::wstring::npos);
    // The long introduction scrolls and cannot be typed over.
    const LONG style = GetWindowLongW(GetDlgItem(window_, 1006), GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & WS_VSCROLL);
    // The bar is there and empty (its range is set when a scan starts); the status line is there.
    int low = -1, high = -1, position = -1;
    ASSERT_TRUE(GetProgressRange(window_, &low, &high));
    ASSERT_TRUE(GetProgressPos(window_, &position));
    EXPECT_EQ(position, low);
    EXPECT_LT(low, high);
    EXPECT_TRUE(FindChildByClass(window_, L"msctls_statusbar32"));
    EXPECT_TRUE(IsControlEnabled(window_, 1000));
    ExpectEndsAfterExit();
}

// A DLL planted beside the program is not found by a load by name made in
// the program's process once its window is up: the search was restricted
// before the window, the file dialogs or the key question could load one.
TEST_F(WindowTest, DllSearchSkipsTheProgramsFolder)
{
    wchar_t built[MAX_PATH];
    GetFullPathNameW(L"tests\\ui\\felnox_probe.dll", MAX_PATH, built, nullptr);
    const std::wstring planted = program_ + L"\\felnox_probe.dll";
    ASSERT_TRUE(CopyFileW(built, planted.c_str(), FALSE)) << Narrow(built);
    // Unrestricted, this process finds the probe beside its own exe: the search works here.
    HMODULE own = LoadLibraryW(L"felnox_probe.dll");
    ASSERT_TRUE(own) << "the probe beside the tests does not load";
    FreeLibrary(own);
    DeleteFileW((std::wstring(built) + L".loaded").c_str());

    Start(Plain(data_));
    // LoadLibraryW on a thread of the program, as any of its code would call it.
    const wchar_t name[] = L"felnox_probe.dll";
    void* remoteName = VirtualAllocEx(process_.handle(), nullptr, sizeof name, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(remoteName);
    ASSERT_TRUE(WriteProcessMemory(process_.handle(), remoteName, name, sizeof name, nullptr));
    const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process_.handle(), nullptr, 0, loadLibrary, remoteName, 0, nullptr);
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread, kWait), WAIT_OBJECT_0);
    DWORD loaded = 1;
    GetExitCodeThread(thread, &loaded);
    CloseHandle(thread);
    EXPECT_EQ(loaded, 0u) << "the program loaded a DLL from its own folder";
    EXPECT_FALSE(Exists(planted + L".loaded"));
    ExpectEndsAfterExit();
}

// Exit with the scan held in the middle of a copy: the window closes at once,
// and once the scan goes on the program ends, leaving complete copies under
// their final names and no temporary copy.
TEST_F(WindowTest, ExitDuringALongScanLeavesNoPartialCopy)
{
    const Bytes keystream = RandomBytes(4096, 20);
    const auto samples = LockPlainTree(data_, keystream, 12);
    PutSlowFile(keystream);
    StartScanWithKeyBeside(KeyFileFormB(keystream));
    ASSERT_TRUE(FreezeScanInSlowCopy()) << "the scan never copied the slow file";

    ASSERT_TRUE(ClickButton(window_, 1001));
    EXPECT_TRUE(WaitForWindowClosed(window_, kWait)) << "Exit waited for the scan";
    ThawScan();
    DWORD code = 1;
    ASSERT_TRUE(process_.WaitForExit(kLongWait, &code));
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(TemporaryCopiesIn(data_).size(), 0u) << "a temporary copy was left";
    if (Exists(SlowCopyPath())) {
        EXPECT_TRUE(IsCompleteSlowCopy()) << "an incomplete copy under its final name";
    }
    for (const Sample& sample : samples) {
        if (Exists(sample.output)) {
            EXPECT_EQ(ReadBytes(sample.output), sample.original) << "partial copy " << Narrow(sample.output);
        }
    }
}

TEST_F(WindowTest, RussianLocaleShowsRussianButtonsAndIntroduction)
{
    if (PRIMARYLANGID(GetUserDefaultLangID()) != LANG_RUSSIAN)
        GTEST_SKIP() << "runs under a Russian user locale";
    Start(Plain(data_));
    EXPECT_EQ(Narrow(GetControlText(window_, 1000)), u8"Продолжить");
    EXPECT_EQ(Narrow(GetControlText(window_, 1001)), u8"Выход");
    EXPECT_EQ(GetText(window_), kTitle);
    const std::string intro = Narrow(GetControlText(window_, 1006));
    EXPECT_EQ(intro.find(u8"Бесплатная утилита для восстановления файлов после Trojan.Felnox.1\r\n\r\n"), 0u);
    EXPECT_NE(intro.find(u8"<как есть>"), std::string::npos);
    ExpectEndsAfterExit();
}

} // namespace
