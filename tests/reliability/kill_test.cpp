// A process killed while it decrypts (TerminateProcess: Task Manager, a
// logoff that does not wait, a power cut as far as a program can tell)
// leaves every file under a final name complete: each is the decrypted
// copy, byte for byte; a copy being built is left only under its temporary
// name, which no later scan takes for a locked file; every locked file is
// as it was. The kills land at known steps: the window-less scanner parks
// itself at the step asked for, and the real program is killed during a
// copy that is long by construction.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/state.h"
#include "tests/support/huge.h"
#include "tests/support/locker.h"
#include "tests/support/tree.h"
#include "tests/ui/program.h"

using namespace uidriver;

namespace {

enum : size_t { kFiles = 3 };
// The real program's copies: long enough that a stop asked for as one
// begins lands during it, on any machine.
enum : uint64_t { kLongCopySize = uint64_t(512) << 20 };

bool IsTemporary(const std::wstring& name) { return name.compare(0, 9, L"~felnox1-") == 0; }

struct LockedFile {
    std::wstring lockedName;
    std::wstring outputName;
    Bytes locked;
    Bytes original;
};

std::vector<LockedFile> LockFiles(const std::wstring& folder, Layout layout)
{
    std::vector<LockedFile> files;
    for (size_t i = 0; i < kFiles; ++i) {
        const std::wstring name = L"video" + std::to_wstring(i) + L".mp4";
        const std::wstring lockedName = layout == Layout::kPlain ? L"locked-" + name + L".abcd" : name;
        Bytes original = RandomBytes((1 << 20) + i * 4099, uint32_t(i + 1));
        Bytes locked = LockedBytes(layout, original);
        WriteBytes(folder + L"\\" + lockedName, locked);
        files.push_back({lockedName, OutputName(layout, lockedName), std::move(locked), std::move(original)});
    }
    return files;
}

struct Left {
    size_t copies = 0;      // complete copies under their final names
    size_t temporaries = 0; // files under a temporary name
};

// Checks what a run left in the folder, then removes the copies (not the
// temporary files, which the next runs must leave alone), so that each run
// starts from the same locked files.
Left CheckAndRemoveCopies(const std::wstring& folder, const std::vector<LockedFile>& files)
{
    Left left;
    for (const std::wstring& name : ListFolder(folder)) {
        const std::wstring path = folder + L"\\" + name;
        bool known = false;
        for (const LockedFile& file : files) {
            if (name == file.lockedName) {
                EXPECT_TRUE(ReadBytes(path) == file.locked) << "locked file changed: " << Narrow(name);
                known = true;
            } else if (name == file.outputName) {
                EXPECT_TRUE(ReadBytes(path) == file.original)
                    << "incomplete copy under a final name: " << Narrow(name);
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                EXPECT_TRUE(DeleteFileW(path.c_str()));
                ++left.copies;
                known = true;
            }
        }
        if (!known && IsTemporary(name)) {
            ++left.temporaries;
            known = true;
        }
        EXPECT_TRUE(known) << "unexpected file " << Narrow(name);
    }
    return left;
}

class KillTest : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder(L"kill");
        files_ = LockFiles(folder_, GetParam());
    }
    void TearDown() override { RemoveTree(folder_); }

    // felnox_kill_scan on the folder; parked at `step` of the second file
    // unless the step is empty.
    bool StartScan(Process* process, const std::wstring& step, const std::wstring& parked) const
    {
        std::wstring args = std::wstring(GetParam() == Layout::kPlain ? L"plain " : L"trailer ") +
                            QuoteArgument(folder_);
        if (!step.empty())
            args += L" " + step + L" 2 " + parked;
        return process->Start(ModuleDirectory() + L"\\felnox_kill_scan.exe", args, L"");
    }

    std::wstring folder_;
    std::vector<LockedFile> files_;
};

TEST_P(KillTest, KilledAtEveryStepLeavesOnlyCompleteCopies)
{
    // Each kill lands at a step of the second file: the first is finished,
    // the third not begun.
    const struct {
        const wchar_t* step;
        size_t copies;
        size_t temporaries; // left by this kill
    } kills[] = {
        {L"copying", 1, 1},   // the whole-file copy half-way
        {L"copied", 1, 1},    // the copy whole, its head locked
        {L"decrypted", 1, 1}, // its head decrypted, its trailer and name not yet done
        {L"named", 2, 0},     // under its final name, not yet closed
    };
    const std::wstring parkedName = L"felnox-kill-parked-" + std::to_wstring(GetCurrentProcessId());
    HANDLE parked = CreateEventW(nullptr, FALSE, FALSE, parkedName.c_str());
    ASSERT_NE(parked, nullptr);
    size_t temporaries = 0;
    for (const auto& kill : kills) {
        SCOPED_TRACE(Narrow(kill.step));
        Process killed;
        ASSERT_TRUE(StartScan(&killed, kill.step, parkedName));
        HANDLE either[] = {parked, killed.handle()};
        ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0) << "the scan never got there";
        killed.Kill();
        const Left left = CheckAndRemoveCopies(folder_, files_);
        EXPECT_EQ(left.copies, kill.copies);
        EXPECT_EQ(left.temporaries, temporaries + kill.temporaries);
        temporaries = left.temporaries;
    }
    CloseHandle(parked);

    // A run over what the kills left: every file decrypted once more, the
    // temporary files neither decrypted nor counted.
    Process process;
    ASSERT_TRUE(StartScan(&process, L"", L""));
    DWORD count = 0;
    ASSERT_TRUE(process.WaitForExit(60000, &count));
    EXPECT_EQ(count, kFiles);
    const Left left = CheckAndRemoveCopies(folder_, files_);
    EXPECT_EQ(left.copies, kFiles);
    EXPECT_EQ(left.temporaries, temporaries);
}

INSTANTIATE_TEST_SUITE_P(, KillTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

// The real program, with its key beside it, scanning locked files of
// `size` bytes whose originals are zeros (sparse, so cheap to make).
class ProgramKillTest : public ProgramTest {
protected:
    void StartScan(size_t files, uint64_t size)
    {
        UseLayoutKey(Layout::kPlain);
        keystream_.assign(g_key.keystream, g_key.keystream + 4096);
        for (size_t i = 0; i < files; ++i)
            ASSERT_TRUE(WriteHugePlainLocked(LockedPath(i), size, keystream_));
        StartScanWithKeyBeside(KeyFileFormB(keystream_));
    }

    std::wstring LockedPath(size_t i) const
    {
        return data_ + L"\\locked-zeros" + std::to_wstring(i) + L".bin.abcd";
    }

    // Waits until the first copy is on its way: a file beside the locked ones.
    void WaitUntilCopying()
    {
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (const std::wstring& name : ListFolder(data_))
                    if (name.compare(0, 7, L"locked-") != 0)
                        return true;
                return !process_.IsRunning();
            },
            60000, 1));
        ASSERT_TRUE(process_.IsRunning()) << "the program ended before it copied";
    }

    Bytes keystream_;
};

TEST_F(ProgramKillTest, KilledInTheMiddleOfACopyLeavesOnlyCompleteCopies)
{
    StartScan(1, kHugeSize);
    WaitUntilCopying();
    process_.Kill();
    size_t temporaries = 0;
    for (const std::wstring& name : ListFolder(data_)) {
        if (IsTemporary(name))
            ++temporaries;
        else
            EXPECT_EQ(name, L"locked-zeros0.bin.abcd") << "something under a final name";
    }
    EXPECT_EQ(temporaries, 1u) << "the kill missed the copy";
    // The locked file as it was: its head is the keystream (its original is zeros).
    HANDLE locked = CreateFileW(LockedPath(0).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Bytes head(4096);
    DWORD got = 0;
    LARGE_INTEGER size = {};
    EXPECT_TRUE(ReadFile(locked, head.data(), 4096, &got, nullptr) && GetFileSizeEx(locked, &size));
    CloseHandle(locked);
    EXPECT_TRUE(head == keystream_ && uint64_t(size.QuadPart) == kHugeSize) << "the locked file changed";
}

using SessionEndTest = ProgramKillTest;

// Logoff or shutdown: the system may end the process as soon as the
// window has answered WM_ENDSESSION, so the file in hand must be done by
// then (finished or, where the copy can be stopped, removed), and nothing
// after it begun. The session ends as the first copy begins.
TEST_F(SessionEndTest, TheFileInHandIsFinishedThenTheScanStops)
{
    const bool stoppable = PlatformReportsCopyProgress(data_);
    StartScan(kFiles, kLongCopySize);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kWait, &answer));
    EXPECT_EQ(answer, TRUE) << "the program must not hold the session up";
    WaitUntilCopying();
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 120000, &answer));
    process_.Kill();
    size_t copies = 0;
    for (const std::wstring& name : ListFolder(data_)) {
        if (name.compare(0, 7, L"locked-") == 0)
            continue;
        if (IsTemporary(name)) {
            ADD_FAILURE() << "the file in hand was left half-made";
            continue;
        }
        EXPECT_TRUE(IsHugeCopy(data_ + L"\\" + name, kLongCopySize))
            << "an incomplete copy under its final name: " << Narrow(name);
        ++copies;
    }
    EXPECT_EQ(copies, stoppable ? 0u : 1u) << "the scan did not stop after the file in hand";
}

} // namespace
