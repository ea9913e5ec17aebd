// The recovery run end to end: the real program, its real dialogs and boxes.
#include <windows.h>

#include <psapi.h>

#include <memory>

#include <gtest/gtest.h>

#include "tests/support/locker.h"
#include "tests/ui/program.h"
#include "tests/ui/samples.h"

using namespace uidriver;

namespace {

const wchar_t kTooSmall[] = L"Selected file is too small. At least 4-16 KB of input data required.";
const wchar_t kTooSmallForTrailer[] =
    L"Selected file is too small. More than 16 KB of input data required.";
const wchar_t kNoMatch[] =
    L"No match between files found. Second file should be like first, just encrypted.";
const wchar_t kSameData[] = L"Data is selected files appears to be the same. You have to select "
                            L"encrypted file and its original version.";
const wchar_t kUsePickedKey[] = L"Would you like to use the selected file as the decryption key?";
const wchar_t kCannotOpen[] = L"Unable to open selected file.";

// The largest key file a key can come from: form A with a head of 32768
// bytes and a body of 496, 33284 bytes in all.
const uint32_t kLongestHead = 32768;
const size_t kLongestBody = 496;

class RunTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        keystream_ = RandomBytes(32768, 7);
        body_ = RandomBytes(120, 8);
        pair_ = folder_ + L"\\pair";
        CreateDirectoryW(pair_.c_str(), nullptr);
    }

    // Waits for the final box, checks the count and the full bar, presses OK.
    void ExpectFinalCount(int count)
    {
        std::wstring text;
        HWND box = WaitForBox(&text);
        ASSERT_TRUE(box);
        EXPECT_EQ(Narrow(text), "Decrypted files total: " + std::to_string(count) + ".");
        int position = -1;
        EXPECT_TRUE(GetProgressPos(window_, &position));
        EXPECT_EQ(position, 255);
        ASSERT_TRUE(ClickButton(box, IDOK));
        ASSERT_TRUE(WaitForWindowClosed(box, kWait));
        EXPECT_FALSE(IsControlEnabled(window_, 1000)) << "Continue must stay disabled after a scan";
    }

    void ExpectContinueEnabledAgain()
    {
        EXPECT_TRUE(WaitUntil([&] { return IsControlEnabled(window_, 1000); }, kWait));
        EXPECT_FALSE(FindMessageBox(process_.id(), kCaption)) << "unexpected message box";
    }

    std::wstring KeyQuestion() const
    {
        return L"Would you like to use file <" + Plain(program_) + L"\\felnox1.key> as a key?";
    }

    Bytes keystream_;
    Bytes body_;
    std::wstring pair_; // where the user keeps an original and its locked copy
};

TEST_F(RunTest, KeyFileBesideTheProgramAcceptedScansAtOnce)
{
    const Bytes body = RandomBytes(kLongestBody, 15);
    const auto samples = LockTrailerTree(data_, keystream_, kLongestHead, body, 6);
    PutKeyBesideProgram(KeyFileFormA(keystream_, kLongestHead, body));
    Start(Plain(data_));
    PressContinue();
    Answer(KeyQuestion(), IDYES);
    ExpectFinalCount(6);
    ExpectRecovered(samples);
    EXPECT_FALSE(FindWindowByTitle(process_.id(), kFirstTitle)) << "a file dialog appeared";
    ExpectEndsAfterExit();
}

// Started by its \\?\ path, a program has its own path in that form; the
// question names the key file as users write it.
TEST_F(RunTest, KeyQuestionOfAProgramStartedByItsExtendedPathShowsTheUserForm)
{
    PutKeyBesideProgram(KeyFileFormB(keystream_));
    StartByExtendedPath(Plain(data_));
    wchar_t own[4 * MAX_PATH];
    ASSERT_NE(GetModuleFileNameExW(process_.handle(), nullptr, own, 4 * MAX_PATH), 0u);
    if (std::wstring(own).compare(0, 4, L"\\\\?\\") != 0) {
        ExpectEndsAfterExit();
        GTEST_SKIP() << "this platform gives the program its plain path: " << Narrow(own) << " (docs/wine.md)";
    }
    PressContinue();
    Answer(KeyQuestion(), IDYES);
    ExpectFinalCount(0);
    ExpectEndsAfterExit();
}

TEST_F(RunTest, KeyFileDeclinedAsksForAPairAndCancellingReenablesContinue)
{
    PutKeyBesideProgram(KeyFileFormB(keystream_));
    Start(Plain(data_));
    PressContinue();
    Answer(KeyQuestion(), IDNO);
    HWND dialog = WaitForOpen(kFirstTitle);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(CancelOpenDialog(dialog, kWait));
    ExpectContinueEnabledAgain();
    ExpectEndsAfterExit();
}

TEST_F(RunTest, PlainPairGivesTheKeyForTheWholeFolder)
{
    const auto samples = LockPlainTree(data_, keystream_, 9);
    const Bytes original = RandomBytes(30000, 9);
    WriteBytes(pair_ + L"\\spare.doc", original);
    const std::wstring locked = WritePlainLocked(pair_, L"spare.doc", original, keystream_);

    Start(Plain(data_));
    PressContinue();
    Choose(kFirstTitle, pair_ + L"\\spare.doc");
    HWND second = WaitForOpen(kSecondTitle);
    ASSERT_TRUE(second);
    EXPECT_EQ(Narrow(GetOpenDialogFileName(second)).substr(0, 16), "locked-spare.doc");
    ASSERT_TRUE(ChooseFileInOpenDialog(second, Plain(locked), kWait));
    ExpectFinalCount(9);
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

TEST_F(RunTest, TrailerPairGivesTheKeyForTheWholeFolder)
{
    const uint32_t head = 24000;
    const auto samples = LockTrailerTree(data_, keystream_, head, body_, 7);
    const Bytes original = RandomBytes(40000, 10);
    WriteBytes(pair_ + L"\\photo.jpg", original);
    CreateDirectoryW((pair_ + L"\\locked").c_str(), nullptr);
    WriteBytes(pair_ + L"\\locked\\photo.jpg", LockWithTrailer(original, keystream_, head, body_));

    Start(Plain(data_));
    PressContinue();
    Choose(kFirstTitle, pair_ + L"\\photo.jpg");
    Choose(kSecondTitle, pair_ + L"\\locked\\photo.jpg");
    ExpectFinalCount(7);
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

TEST_F(RunTest, RelativeFolderArgumentIsTheFolderTheProgramStartedIn)
{
    // The program starts in folder_ with the argument "data". The pair lies
    // in another folder, where the file dialogs move the current folder, and
    // where another "data" holds other locked files.
    const auto samples = LockPlainTree(data_, keystream_, 5);
    ASSERT_TRUE(CreateDirectoryW((pair_ + L"\\data").c_str(), nullptr));
    LockPlainTree(pair_ + L"\\data", keystream_, 2);
    const Bytes original = RandomBytes(30000, 14);
    WriteBytes(pair_ + L"\\spare.doc", original);
    const std::wstring locked = WritePlainLocked(pair_, L"spare.doc", original, keystream_);

    StartWithArguments(L"data");
    PressContinue();
    Choose(kFirstTitle, pair_ + L"\\spare.doc");
    Choose(kSecondTitle, locked);
    ExpectFinalCount(5);
    ExpectRecovered(samples);
    // The status line shows the last path the scan reached as users write it.
    const std::wstring status = GetStatusText(window_);
    EXPECT_EQ(status.compare(0, Plain(data_).size() + 1, Plain(data_) + L"\\"), 0) << Narrow(status);
    ExpectEndsAfterExit();
}

// With the final count up no file is in hand: Exit, and the end of the
// session, end the program at once, box and all.
TEST_F(RunTest, ExitOrSessionEndWithTheFinalCountUpEndsTheProgramAtOnce)
{
    LockPlainTree(data_, keystream_, 2);
    PutKeyBesideProgram(KeyFileFormB(keystream_));
    for (const bool sessionEnds : {false, true}) {
        SCOPED_TRACE(sessionEnds ? "session end" : "Exit");
        Start(Plain(data_));
        PressContinue();
        Answer(KeyQuestion(), IDYES);
        std::wstring text;
        ASSERT_TRUE(WaitForBox(&text));
        if (sessionEnds) {
            DWORD_PTR answer = 0;
            ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kWait, &answer));
            ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kWait, &answer));
        } else {
            ASSERT_TRUE(ClickButton(window_, 1001));
        }
        // The box is never answered: a program that waited for it would never end.
        EXPECT_TRUE(process_.WaitForExit(kWait)) << "the program waited for the final count's box";
        process_.Kill();
    }
}

// A logoff that another program cancels: the query is answered, then the
// end comes with FALSE, and the scan goes on to its end. The scan is held in
// the middle of a copy meanwhile, so it cannot end before the logoff.
TEST_F(RunTest, ACancelledLogoffLetsTheScanFinish)
{
    const auto samples = LockPlainTree(data_, keystream_, 12);
    PutSlowFile(keystream_);
    PutKeyBesideProgram(KeyFileFormB(keystream_));
    Start(Plain(data_));
    PressContinue();
    Answer(KeyQuestion(), IDYES);
    ASSERT_TRUE(FreezeScanInSlowCopy()) << "the scan never copied the slow file";
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kWait, &answer));
    EXPECT_EQ(answer, TRUE);
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, kWait, &answer));
    ThawScan();
    ExpectFinalCount(13);
    ExpectRecovered(samples);
    EXPECT_TRUE(IsCompleteSlowCopy());
    ExpectEndsAfterExit();
}

// The 32-bit program on 64-bit Windows, given a folder that exists only in
// the real System32: unless the scan turns System32's redirection off, it
// walks SysWOW64 instead and finds nothing.
TEST_F(RunTest, The32BitProgramScansTheRealSystemFolder)
{
    const wchar_t x86Program[] = L"..\\windows-x86\\ui\\felnox1decrypt.exe";
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "runs in the 64-bit run, whose prefix is 64-bit Windows with WoW64";
    wchar_t wine32[8] = {};
    GetEnvironmentVariableW(L"FELNOX_WINE32", wine32, 8);
    if (std::wstring(wine32) != L"1")
        GTEST_SKIP() << "this machine runs no 32-bit x86 code: wine32 cannot start (FELNOX_WINE32)";
    if (!Exists(x86Program))
        GTEST_SKIP() << "no 32-bit build beside this one (build/windows-x86)";

    wchar_t system[MAX_PATH];
    ASSERT_TRUE(GetSystemDirectoryW(system, MAX_PATH));
    const std::wstring only = std::wstring(system) + L"\\felnox-only-in-system32";
    RemoveTree(only); // what a failed run left
    ASSERT_TRUE(CreateDirectoryW(only.c_str(), nullptr));
    const auto samples = LockPlainTree(only, keystream_, 2);
    ASSERT_TRUE(CopyFileW(x86Program, (program_ + L"\\felnox1decrypt.exe").c_str(), FALSE));
    PutKeyBesideProgram(KeyFileFormB(keystream_));
    Start(only);
    PressContinue();
    Answer(KeyQuestion(), IDYES);
    ExpectFinalCount(2);
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
    RemoveTree(only);
}

TEST_F(RunTest, TheKeyFileItselfPickedInTheFirstDialog)
{
    const Bytes body = RandomBytes(kLongestBody, 16);
    const auto samples = LockTrailerTree(data_, keystream_, kLongestHead, body, 4);
    WriteBytes(pair_ + L"\\felnox1.key", KeyFileFormA(keystream_, kLongestHead, body));
    Start(Plain(data_));
    PressContinue();
    Choose(kFirstTitle, pair_ + L"\\felnox1.key");
    Answer(kUsePickedKey, IDYES);
    ExpectFinalCount(4);
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

// Every refusal is told and gives no key; and whatever the refusals before
// it left behind, the next pair starts afresh: a key file picked and
// declined, taken as the original of a plain-layout pair, gives the plain
// key that recovers the folder.
TEST_F(RunTest, RefusalsAreToldAndTheNextPairStartsAfresh)
{
    const auto samples = LockPlainTree(data_, keystream_, 3);
    const Bytes zeros(kLongestHead, 0); // locks nothing: the heads stay the same
    const auto put = [&](const wchar_t* name, const Bytes& bytes) {
        WriteBytes(pair_ + name, bytes);
        return pair_ + name;
    };
    const Bytes tiny = RandomBytes(4095, 11), small = RandomBytes(4096, 12);
    const Bytes below = RandomBytes(16895, 13), at = RandomBytes(16896, 14), above = RandomBytes(16897, 15);
    const std::wstring held = put(L"\\held.doc", below);
    const struct {
        const char* label;
        std::wstring original;
        std::wstring locked; // empty: refused before the second dialog
        const wchar_t* box;
    } refusals[] = {
        {"original below 4096 bytes", put(L"\\tiny.txt", tiny), L"", kTooSmall},
        {"trailer layout, original below 16896 bytes", put(L"\\below.doc", below),
         put(L"\\below-locked.doc", LockWithTrailer(below, keystream_, 5000, body_)), kTooSmallForTrailer},
        // From 16896 bytes on, refused only for heads that locking left the same.
        {"trailer layout, original of 16896 bytes", put(L"\\at.doc", at),
         put(L"\\at-locked.doc", LockWithTrailer(at, zeros, 5000, body_)), kSameData},
        {"trailer layout, original of 16897 bytes", put(L"\\above.doc", above),
         put(L"\\above-locked.doc", LockWithTrailer(above, zeros, 5000, body_)), kSameData},
        // Right after a trailer-layout pair, whose trailer must not stay the reference.
        {"original of 4096 bytes, twice", put(L"\\small.txt", small), pair_ + L"\\small.txt", kSameData},
        {"unrelated files", pair_ + L"\\below.doc", put(L"\\unrelated.doc", RandomBytes(16895, 16)), kNoMatch},
        {"original held by another program", held, L"", kCannotOpen},
        {"locked file held by another program", pair_ + L"\\below.doc", held, kCannotOpen},
    };
    // Open for writing, as an editor keeps its document: the program, which
    // lets nobody write what it reads, cannot open it.
    const std::unique_ptr<void, decltype(&CloseHandle)> holder(
        CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                    nullptr),
        &CloseHandle);
    ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);

    Start(Plain(data_));
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.label);
        PressContinue();
        Choose(kFirstTitle, refusal.original);
        if (!refusal.locked.empty())
            Choose(kSecondTitle, refusal.locked);
        Answer(refusal.box, IDOK);
        if (refusal.box == kTooSmall) {
            // Told, and asked again at once.
            HWND again = WaitForOpen(kFirstTitle);
            ASSERT_TRUE(again);
            ASSERT_TRUE(CancelOpenDialog(again, kWait));
        }
        ExpectContinueEnabledAgain();
        if (HasFailure())
            return; // a pair taken wrongly has started a scan: the rows after it would only wait
    }

    // A form-A key file declined: its trailer must not stay the key's reference.
    const Bytes keyFile = KeyFileFormA(keystream_, 20000, body_);
    put(L"\\felnox1.key", keyFile);
    const std::wstring lockedKeyFile = WritePlainLocked(pair_, L"felnox1.key", keyFile, keystream_);
    PressContinue();
    Choose(kFirstTitle, pair_ + L"\\felnox1.key");
    Answer(kUsePickedKey, IDNO);
    Choose(kSecondTitle, lockedKeyFile);
    ExpectFinalCount(3);
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

} // namespace
