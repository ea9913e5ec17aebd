#include "tests/ui/program.h"

#include "ui/version.h"

const wchar_t kTitle[] = L"Felnox1 Decryptor " FELNOX_VERSION_TEXT;
const wchar_t kCaption[] = L"Felnox1decrypt";
const wchar_t kFirstTitle[] = L"Please select original (non-encrypted) file";
const wchar_t kSecondTitle[] = L"Please select encrypted file (locked-)";

using namespace uidriver;

void ProgramTest::SetUp()
{
    folder_ = MakeScratchFolder(L"program");
    program_ = folder_ + L"\\program";
    data_ = folder_ + L"\\data";
    ASSERT_TRUE(CreateDirectoryW(program_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(data_.c_str(), nullptr));
    // The tests run from the build folder; the program is built beside them.
    wchar_t built[MAX_PATH];
    GetFullPathNameW(L"ui\\felnox1decrypt.exe", MAX_PATH, built, nullptr);
    exe_ = program_ + L"\\felnox1decrypt.exe";
    ASSERT_TRUE(CopyFileW(built, exe_.c_str(), FALSE))
        << Narrow(built);
}

void ProgramTest::TearDown()
{
    if (process_.IsRunning()) {
        ADD_FAILURE() << "the program was still running: " << Narrow(DescribeWindows(process_.id()));
        process_.Kill();
    }
    RemoveTree(folder_);
}

void ProgramTest::Start(const std::wstring& argument)
{
    StartWithArguments(argument.empty() ? L"" : QuoteArgument(argument));
}

void ProgramTest::StartWithArguments(const std::wstring& commandLine)
{
    ASSERT_TRUE(process_.Start(Plain(exe_), commandLine, Plain(folder_)));
    window_ = WaitForWindow(process_.id(), kTitle, kWait);
    ASSERT_TRUE(window_) << "no main window";
}

void ProgramTest::StartByExtendedPath(const std::wstring& argument)
{
    ASSERT_TRUE(process_.Start(exe_, QuoteArgument(argument), Plain(folder_)));
    window_ = WaitForWindow(process_.id(), kTitle, kWait);
    ASSERT_TRUE(window_) << "no main window";
}

void ProgramTest::PutKeyBesideProgram(const Bytes& key)
{
    WriteBytes(program_ + L"\\felnox1.key", key);
}

void ProgramTest::StartScanWithKeyBeside(const Bytes& key)
{
    PutKeyBesideProgram(key);
    Start(Plain(data_));
    PressContinue();
    std::wstring question;
    HWND box = WaitForBox(&question);
    ASSERT_TRUE(box);
    ASSERT_TRUE(ClickButton(box, IDYES));
}

HWND ProgramTest::WaitForBox(std::wstring* text)
{
    HWND box = WaitForMessageBox(process_.id(), kCaption, kWait);
    if (!box) {
        ADD_FAILURE() << "no message box; windows: " << Narrow(DescribeWindows(process_.id()));
        return nullptr;
    }
    *text = GetMessageBoxText(box);
    return box;
}

void ProgramTest::Answer(const std::wstring& expected, int button)
{
    std::wstring text;
    HWND box = WaitForBox(&text);
    ASSERT_TRUE(box);
    EXPECT_EQ(Narrow(text), Narrow(expected));
    ASSERT_TRUE(ClickButton(box, button));
    ASSERT_TRUE(WaitForWindowClosed(box, kWait));
}

HWND ProgramTest::WaitForOpen(const wchar_t* title)
{
    HWND dialog = WaitForOpenDialog(process_.id(), title, kWait);
    EXPECT_TRUE(dialog) << "no dialog " << Narrow(title) << "; windows: "
                        << Narrow(DescribeWindows(process_.id()));
    return dialog;
}

void ProgramTest::Choose(const wchar_t* title, const std::wstring& path)
{
    HWND dialog = WaitForOpen(title);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(ChooseFileInOpenDialog(dialog, Plain(path), kWait)) << Narrow(path);
}

void ProgramTest::PressContinue()
{
    ASSERT_TRUE(ClickButton(window_, 1000));
}

void ProgramTest::ExpectEndsAfterExit()
{
    ASSERT_TRUE(ClickButton(window_, 1001));
    DWORD code = 1;
    EXPECT_TRUE(process_.WaitForExit(kWait, &code));
    EXPECT_EQ(code, 0u);
}
