#include "tests/ui/program.h"

#include <tlhelp32.h>

#include "tests/support/huge.h"
#include "ui/version.h"

const wchar_t kTitle[] = L"Felnox1 Decryptor " FELNOX_VERSION_TEXT;
const wchar_t kCaption[] = L"Felnox1decrypt";
const wchar_t kFirstTitle[] = L"Please select original (non-encrypted) file";
const wchar_t kSecondTitle[] = L"Please select encrypted file (locked-)";

using namespace uidriver;

namespace {

const wchar_t kTemporaryPrefix[] = L"~felnox1-";
const wchar_t kSlowFile[] = L"\\locked-slow.bin.abcd";
const wchar_t kSlowCopy[] = L"\\slow.bin";
// Long enough to copy that a scan suspended every millisecond or so is
// caught in the middle of it, whatever the machine's load.
const uint64_t kSlowSize = uint64_t(256) << 20;

// The largest temporary copy in the folder, in bytes (0 if none).
uint64_t LargestTemporaryCopy(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\" + kTemporaryPrefix + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    uint64_t largest = 0;
    do {
        const uint64_t size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        largest = size > largest ? size : largest;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return largest;
}

} // namespace

std::vector<std::wstring> TemporaryCopiesIn(const std::wstring& folder)
{
    std::vector<std::wstring> found;
    for (const std::wstring& name : ListFolder(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (name.compare(0, wcslen(kTemporaryPrefix), kTemporaryPrefix) == 0)
            found.push_back(path);
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            const std::vector<std::wstring> below = TemporaryCopiesIn(path);
            found.insert(found.end(), below.begin(), below.end());
        }
    }
    return found;
}

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
    ThawScan();
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

void ProgramTest::PutSlowFile(const Bytes& keystream)
{
    ASSERT_TRUE(WriteHugePlainLocked(data_ + kSlowFile, kSlowSize, keystream));
}

bool ProgramTest::FreezeScanInSlowCopy()
{
    const DWORD windowThread = GetWindowThreadProcessId(window_, nullptr);
    // Looked at only while the scan is held, so that what is seen is where it stays.
    return WaitUntil([&] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != process_.id() || entry.th32ThreadID == windowThread)
                continue;
            HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
            if (!thread)
                continue;
            // SuspendThread only asks; the context is there once the thread has stopped.
            CONTEXT context = {};
            context.ContextFlags = CONTEXT_CONTROL;
            SuspendThread(thread);
            GetThreadContext(thread, &context);
            frozen_.push_back(thread);
        }
        CloseHandle(snapshot);
        if (LargestTemporaryCopy(data_) > kSlowSize / 16)
            return true;
        ThawScan();
        return false;
    }, kLongWait, 1);
}

void ProgramTest::ThawScan()
{
    for (HANDLE thread : frozen_) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
    frozen_.clear();
}

std::wstring ProgramTest::SlowCopyPath() const
{
    return data_ + kSlowCopy;
}

bool ProgramTest::IsCompleteSlowCopy() const
{
    return IsHugeCopy(SlowCopyPath(), kSlowSize);
}
