// What other programs and the session do on a busy Windows machine: a
// neighbour (sync client, backup agent, indexer) that opens every new file
// for a moment, and Exit or a logoff during the copy of a huge file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "core/state.h"
#include "tests/reliability/fault_scan.h"
#include "tests/support/imports.h"
#include "tests/support/huge.h"
#include "tests/support/locker.h"
#include "tests/ui/program.h"

using namespace uidriver;

namespace {

// felnox_neighbour.exe, beside this test, watching a folder from
// construction to destruction.
class Neighbour {
public:
    explicit Neighbour(const std::wstring& folder)
    {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId());
        const std::wstring readyName = L"felnox-neighbour-ready-" + tag;
        const std::wstring stopName = L"felnox-neighbour-stop-" + tag;
        const std::wstring heldName = L"felnox-neighbour-held-" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        stop_ = CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());
        held_ = CreateEventW(nullptr, FALSE, FALSE, heldName.c_str());
        const std::wstring args = QuoteArgument(folder) + L" " + readyName + L" " + stopName + L" " + heldName;
        if (!process_.Start(ModuleDirectory() + L"\\felnox_neighbour.exe", args, L""))
            return;
        HANDLE either[] = {ready_, process_.handle()};
        watching_ = WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~Neighbour()
    {
        SetEvent(stop_);
        process_.WaitForExit(20000);
        CloseHandle(ready_);
        CloseHandle(stop_);
        CloseHandle(held_);
    }
    bool Watching() const { return watching_; }
    // Signalled each time it holds a temporary copy.
    HANDLE HeldEvent() const { return held_; }
    // The temporary copies it held, once it has ended.
    DWORD Stop()
    {
        SetEvent(stop_);
        DWORD held = 1000;
        EXPECT_TRUE(process_.WaitForExit(20000, &held));
        EXPECT_LT(held, 1000u) << "the neighbour failed";
        return held;
    }

private:
    HANDLE ready_ = nullptr;
    HANDLE stop_ = nullptr;
    HANDLE held_ = nullptr;
    Process process_;
    bool watching_ = false;
};

// While set, each whole-file copy to a temporary name returns only once the
// neighbour holds that copy: the decryption then meets the hold for sure,
// rather than when the neighbour happens to win the race for the new file.
HANDLE g_neighbourHeld;
decltype(&CopyFileExW) g_copyFile;

BOOL WINAPI CopyThenWaitForTheNeighbour(const wchar_t* from, const wchar_t* to, LPPROGRESS_ROUTINE progress,
                                        void* data, BOOL* cancel, DWORD flags)
{
    const BOOL copied = g_copyFile(from, to, progress, data, cancel, flags);
    const wchar_t* name = wcsrchr(to, L'\\');
    if (copied && name && wcsncmp(name + 1, L"~felnox1-", 9) == 0) {
        EXPECT_EQ(WaitForSingleObject(g_neighbourHeld, kWait), WAIT_OBJECT_0) << "the neighbour never held the copy";
    }
    return copied;
}

class NeighbourTest : public FaultScanTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(NeighbourTest, EveryNewFileHeldAMomentStillGetsItsCopy)
{
    // It holds each new file for 300 to 500 ms, the temporary copies among
    // them: the decryption waits for it (2 s at most per step) instead of
    // losing the file and leaving the temporary copy.
    UseLayout(GetParam());
    enum : uint32_t { kFiles = 4 };
    for (uint32_t i = 0; i < kFiles; ++i)
        Lock(root_, L"", L"doc" + std::to_wstring(i) + L".txt", RandomBytes((1 << 20) + 997 * i, i));
    const Snapshot before = TakeSnapshot(root_);
    Neighbour neighbour(root_);
    ASSERT_TRUE(neighbour.Watching());
    g_neighbourHeld = neighbour.HeldEvent();
    g_copyFile = reinterpret_cast<decltype(g_copyFile)>(
        ReplaceImport("CopyFileExW", reinterpret_cast<void*>(CopyThenWaitForTheNeighbour)));
    ASSERT_NE(g_copyFile, nullptr);
    Scan(root_);
    ReplaceImport("CopyFileExW", reinterpret_cast<void*>(g_copyFile));
    const DWORD held = neighbour.Stop();
    ExpectOnlyCopiesAdded(root_, before);
    EXPECT_EQ(held, DWORD(kFiles)) << "each copy being built is held once";
}

INSTANTIATE_TEST_SUITE_P(, NeighbourTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

// The real program during the copy of a 5 GiB file (sparse, so cheap to
// make). Where the platform reports copy progress the copy is stopped: the
// program ends within 2 s. Wine cannot stop a copy: there it runs to its
// end. Either way the file in hand ends finished under its final name or
// removed.
class HugeCopyTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        stoppable_ = PlatformReportsCopyProgress(data_);
        UseLayoutKey(Layout::kPlain);
        const Bytes keystream(g_key.keystream, g_key.keystream + 4096);
        ASSERT_TRUE(WriteHugePlainLocked(data_ + L"\\locked-huge.bin.abcd", kHugeSize, keystream));
        StartScanWithKeyBeside(KeyFileFormB(keystream));
        // The copy is on its way once its temporary file is there.
        ASSERT_TRUE(WaitUntil([&] { return ListFolder(data_).size() > 1 || !process_.IsRunning(); }, kWait, 1));
        ASSERT_TRUE(process_.IsRunning());
    }

    // Nothing but the locked file and, where the copy could not be stopped,
    // its complete copy.
    void ExpectFinishedOrRemoved()
    {
        std::vector<std::wstring> names = ListFolder(data_);
        if (!stoppable_ && names.size() == 2 && names[0] == L"huge.bin") {
            EXPECT_TRUE(IsHugeCopy(data_ + L"\\huge.bin", kHugeSize)) << "an incomplete copy under its final name";
            return;
        }
        EXPECT_EQ(names, std::vector<std::wstring>{L"locked-huge.bin.abcd"}) << "something was left";
    }

    bool stoppable_ = false;
};

TEST_F(HugeCopyTest, ExitLeavesTheFileInHandFinishedOrRemoved)
{
    const ULONGLONG asked = GetTickCount64();
    ASSERT_TRUE(ClickButton(window_, 1001));
    DWORD code = 1;
    ASSERT_TRUE(process_.WaitForExit(120000, &code));
    if (stoppable_) {
        EXPECT_LT(GetTickCount64() - asked, 2000u) << "the copy in flight ran on after Exit";
    }
    EXPECT_EQ(code, 0u);
    ExpectFinishedOrRemoved();
}

TEST_F(HugeCopyTest, LogoffLeavesTheFileInHandFinishedOrRemoved)
{
    // The system may end the process as soon as WM_ENDSESSION is answered.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kWait,
                                    &answer));
    const ULONGLONG asked = GetTickCount64();
    ASSERT_TRUE(SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 120000,
                                    &answer));
    if (stoppable_) {
        EXPECT_LT(GetTickCount64() - asked, 2000u) << "the logoff waited for the whole copy";
    }
    process_.Kill();
    ExpectFinishedOrRemoved();
}

} // namespace
