// A process killed while it decrypts (TerminateProcess: Task Manager, a
// logoff that does not wait, a power cut as far as a program can tell)
// leaves every file under a final name complete: each is the decrypted
// copy, byte for byte; a copy being built is left only under its temporary
// name, which no later scan takes for a locked file; every locked file is
// as it was. Large files, so that the kills land in the middle of copies.
#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

#include "core/names.h"
#include "core/state.h"
#include "tests/support/tree.h"
#include "tests/support/locker.h"
#include "tests/ui/program.h"

using namespace uidriver;

namespace {

enum : size_t { kLargeFiles = 3, kLargeSize = 16 << 20 };

uint64_t Hash(const Bytes& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

struct LargeFile {
    std::wstring lockedName;
    std::wstring outputName;
    uint64_t lockedHash;
    uint64_t originalHash;
};

std::vector<LargeFile> LockLargeFiles(const std::wstring& folder, Layout layout, size_t size = kLargeSize)
{
    std::vector<LargeFile> files;
    for (size_t i = 0; i < kLargeFiles; ++i) {
        const std::wstring name = L"video" + std::to_wstring(i) + L".mp4";
        const std::wstring lockedName = layout == Layout::kPlain ? L"locked-" + name + L".abcd" : name;
        const Bytes original = RandomBytes(size + i * 4099, uint32_t(i + 1));
        const Bytes locked = LockedBytes(layout, original);
        WriteBytes(folder + L"\\" + lockedName, locked);
        files.push_back({lockedName, OutputName(layout, lockedName), Hash(locked), Hash(original)});
    }
    return files;
}

struct Left {
    size_t copies = 0;       // complete copies under their final names
    size_t temporaries = 0;  // files under a temporary name
};

// Checks what a run left in the folder, then removes the copies (not the
// temporary files, which the next runs must leave alone), so that each run
// starts from the same locked files.
Left CheckAndRemoveCopies(const std::wstring& folder, const std::vector<LargeFile>& files)
{
    Left left;
    for (const std::wstring& name : ListFolder(folder)) {
        const std::wstring path = folder + L"\\" + name;
        bool known = false;
        for (const LargeFile& file : files) {
            if (name == file.lockedName) {
                EXPECT_EQ(Hash(ReadBytes(path)), file.lockedHash) << "locked file changed: " << Narrow(name);
                known = true;
            } else if (name == file.outputName) {
                EXPECT_EQ(Hash(ReadBytes(path)), file.originalHash)
                    << "incomplete copy under a final name: " << Narrow(name);
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                EXPECT_TRUE(DeleteFileW(path.c_str()));
                ++left.copies;
                known = true;
            }
        }
        if (!known && IsTemporaryName(name.c_str(), name.size())) {
            ++left.temporaries;
            known = true;
        }
        EXPECT_TRUE(known) << "unexpected file " << Narrow(name);
    }
    return left;
}

// The files in the folder that the run added, and whether one of them is
// being written (shorter than any locked or decrypted file).
struct Progress {
    size_t added = 0;
    bool midCopy = false;
};

Progress Look(const std::wstring& folder, const std::vector<LargeFile>& files)
{
    Progress progress;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return progress;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        bool locked = false;
        for (const LargeFile& file : files)
            locked = locked || name == file.lockedName;
        if (locked)
            continue;
        ++progress.added;
        const uint64_t size = (uint64_t(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        progress.midCopy = progress.midCopy || (size > 0 && size < kLargeSize);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return progress;
}

// Polls every millisecond until the condition holds; false when the
// process ended first. The condition is asked once a poll: a state as short
// as a copy in the making may be gone by a second look.
bool WaitWhileRunning(const Process& process, const std::function<bool()>& condition)
{
    bool met = false;
    WaitUntil([&] { return (met = condition()) || !process.IsRunning(); }, 60000, 1);
    return met;
}

class KillTest : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder(L"kill");
        files_ = LockLargeFiles(folder_, GetParam());
    }
    void TearDown() override { RemoveTree(folder_); }

    bool StartScan(Process* process) const
    {
        const std::wstring args = std::wstring(GetParam() == Layout::kPlain ? L"plain " : L"trailer ") +
                                  QuoteArgument(folder_);
        return process->Start(ModuleDirectory() + L"\\felnox_kill_scan.exe", args, L"");
    }

    std::wstring folder_;
    std::vector<LargeFile> files_;
};

TEST_P(KillTest, KilledAtAnyMomentLeavesOnlyCompleteCopies)
{
    // A whole run first: it decrypts every file, and its length spreads the
    // kills below over the time the copies take.
    Process process;
    ASSERT_TRUE(StartScan(&process));
    ASSERT_TRUE(WaitWhileRunning(process, [&] { return Look(folder_, files_).added > 0; }));
    const ULONGLONG first = GetTickCount64();
    DWORD count = 0;
    ASSERT_TRUE(process.WaitForExit(60000, &count));
    const ULONGLONG span = GetTickCount64() - first;
    EXPECT_EQ(count, kLargeFiles);
    EXPECT_EQ(CheckAndRemoveCopies(folder_, files_).copies, kLargeFiles);

    // Kill moments: as the first, second and third added file appears, as
    // soon as a copy is seen half-made, and at 8 points spread over the run.
    struct Moment {
        size_t added;
        bool midCopy;
        ULONGLONG delay; // after the moment is reached
    };
    std::vector<Moment> moments = {{1, false, 0}, {2, false, 0}, {3, false, 0}, {1, true, 0}};
    for (ULONGLONG eighth = 0; eighth < 8; ++eighth)
        moments.push_back({1, false, span * (2 * eighth + 1) / 16});

    size_t temporaries = 0;
    for (const Moment& moment : moments) {
        SCOPED_TRACE(std::to_string(moment.added) + " added, mid-copy " + std::to_string(moment.midCopy) +
                     ", then " + std::to_string(moment.delay) + " ms");
        Process killed;
        ASSERT_TRUE(StartScan(&killed));
        WaitWhileRunning(killed, [&] {
            const Progress progress = Look(folder_, files_);
            return progress.added >= moment.added && (progress.midCopy || !moment.midCopy);
        });
        Sleep(DWORD(moment.delay));
        killed.Kill();
        temporaries = CheckAndRemoveCopies(folder_, files_).temporaries;
    }
    EXPECT_GT(temporaries, 0u) << "no kill landed in the middle of a copy";

    // A run over what the kills left: every file decrypted once more, the
    // temporary files neither decrypted nor counted.
    ASSERT_TRUE(StartScan(&process));
    ASSERT_TRUE(process.WaitForExit(60000, &count));
    EXPECT_EQ(count, kLargeFiles);
    const Left left = CheckAndRemoveCopies(folder_, files_);
    EXPECT_EQ(left.copies, kLargeFiles);
    EXPECT_EQ(left.temporaries, temporaries);
}

INSTANTIATE_TEST_SUITE_P(, KillTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

// The real program, with its key beside it, scanning the large files.
class ProgramKillTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        UseLayoutKey(Layout::kPlain);
        files_ = LockLargeFiles(data_, Layout::kPlain, size_);
        StartScanWithKeyBeside(KeyFileFormB(Bytes(g_key.keystream, g_key.keystream + 4096)));
    }

    void WaitUntilWriting(bool midCopy)
    {
        ASSERT_TRUE(WaitWhileRunning(process_, [&] {
            const Progress progress = Look(data_, files_);
            return midCopy ? progress.midCopy : progress.added > 0;
        })) << "the program wrote no copy";
    }

    size_t size_ = kLargeSize;
    std::vector<LargeFile> files_;
};

TEST_F(ProgramKillTest, KilledInTheMiddleOfACopyLeavesOnlyCompleteCopies)
{
    WaitUntilWriting(true);
    process_.Kill();
    const Left left = CheckAndRemoveCopies(data_, files_);
    EXPECT_LT(left.copies, kLargeFiles) << "the scan ended before the kill: nothing was tested";
}

// Files large enough that the first copy is still being made when the
// session ends.
class SessionEndTest : public ProgramKillTest {
protected:
    SessionEndTest() { size_ = 2 * kLargeSize; }
};

TEST_F(SessionEndTest, TheFileInHandIsFinishedThenTheScanStops)
{
    // Logoff or shutdown: the system may end the process as soon as the
    // window has answered WM_ENDSESSION, so the copy in hand must be done by
    // then. The session ends as the first copy begins.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kWait, &answer));
    EXPECT_EQ(answer, TRUE) << "the program must not hold the session up";
    WaitUntilWriting(false);
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 60000, &answer));
    process_.Kill();
    const Left left = CheckAndRemoveCopies(data_, files_);
    EXPECT_EQ(left.temporaries, 0u) << "the copy in hand was not finished";
    EXPECT_GE(left.copies, 1u);
    EXPECT_LT(left.copies, kLargeFiles) << "the scan did not stop";
}

} // namespace
