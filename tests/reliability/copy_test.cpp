// How a copy is built, seen from outside the scanner: two runs at once on
// one folder, where neither may take the other's copy in the making, so
// every locked file gets a complete copy from each and nothing else is
// left; the copy hidden while it is built; and a failed copy removed even
// when a neighbour holds it at first.
#include <windows.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "core/decrypt.h"
#include "core/names.h"
#include "tests/reliability/fault_scan.h"
#include "tests/support/imports.h"
#include "tests/support/driver.h"

using namespace uidriver;

namespace {

class CopyTest : public FaultScanTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(CopyTest, TwoScansOfOneFolderAtOnceLeaveTwoCompleteCopiesAndNothingElse)
{
    UseLayout(GetParam());
    const uint32_t kFiles = 16;
    for (uint32_t i = 0; i < kFiles; ++i) {
        const std::wstring name = L"doc" + std::to_wstring(i) + L".txt";
        const Bytes original = RandomBytes((1 << 19) + 4099 * i, i);
        Lock(root_, L"", name, original);
        // The run that comes second to a file takes the next numbered name.
        ExpectCopy(OutputName(GetParam(), LockedName(name), 1), original);
    }
    const Snapshot before = TakeSnapshot(root_);
    // Both wait for one event, so that they walk the folder side by side.
    const std::wstring startName = L"felnox-twice-start-" + std::to_wstring(GetCurrentProcessId());
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, startName.c_str());
    ASSERT_NE(start, nullptr);
    const std::wstring args = std::wstring(GetParam() == Layout::kPlain ? L"plain " : L"trailer ") +
                              QuoteArgument(root_) + L" " + startName;
    Process runs[2];
    for (Process& run : runs)
        ASSERT_TRUE(run.Start(ModuleDirectory() + L"\\felnox_kill_scan.exe", args, L""));
    SetEvent(start);
    DWORD decrypted = 0;
    for (Process& run : runs) {
        DWORD count = 0;
        ASSERT_TRUE(run.WaitForExit(120000, &count));
        decrypted += count;
    }
    CloseHandle(start);
    EXPECT_EQ(decrypted, 2 * kFiles);
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(CopyTest, TheCopyIsHiddenWhileItIsBuilt)
{
    // The scanner parks once the first copy's head is decrypted, still
    // under its temporary name: a kill there leaves that file, which the
    // user must not see among the files.
    UseLayout(GetParam());
    Lock(root_, L"", L"doc.txt", RandomBytes(70000, 1));
    const std::wstring parkedName = L"felnox-hidden-parked-" + std::to_wstring(GetCurrentProcessId());
    HANDLE parked = CreateEventW(nullptr, FALSE, FALSE, parkedName.c_str());
    ASSERT_NE(parked, nullptr);
    Process scan;
    ASSERT_TRUE(scan.Start(ModuleDirectory() + L"\\felnox_kill_scan.exe",
                           std::wstring(GetParam() == Layout::kPlain ? L"plain " : L"trailer ") +
                               QuoteArgument(root_) + L" decrypted 1 " + parkedName,
                           L""));
    HANDLE either[] = {parked, scan.handle()};
    ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 120000), WAIT_OBJECT_0) << "the scanner never parked";
    size_t temporaries = 0;
    for (const std::wstring& name : ListFolder(root_)) {
        if (!IsTemporaryName(name.c_str(), name.size()))
            continue;
        ++temporaries;
        EXPECT_TRUE(GetFileAttributesW((root_ + L"\\" + name).c_str()) & FILE_ATTRIBUTE_HIDDEN) << Narrow(name);
    }
    EXPECT_EQ(temporaries, 1u);
    scan.Kill();
    CloseHandle(parked);
}

// CopyFileExW as a copy that fails at its end while a neighbour (a sync
// client, an antivirus) holds the new file, sharing only reading: the copy
// is made, the neighbour takes it and marks it HIDDEN, and the call
// reports a full disk.
decltype(&CopyFileExW) g_realCopy;
HANDLE g_neighbour = INVALID_HANDLE_VALUE;
std::wstring g_held;
HANDLE g_holding;

BOOL WINAPI CopyThenFailWhileHeld(const wchar_t* from, const wchar_t* to, LPPROGRESS_ROUTINE progress,
                                  void* data, BOOL* cancel, DWORD flags)
{
    if (!g_realCopy(from, to, progress, data, cancel, flags))
        return FALSE;
    g_neighbour = CreateFileW(to, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    g_held = to;
    SetFileAttributesW(to, FILE_ATTRIBUTE_HIDDEN);
    SetEvent(g_holding);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

using RemovalTest = FaultScanTest;

TEST_F(RemovalTest, ARemovalRefusedWhileANeighbourHoldsTheCopyIsTriedAgain)
{
    // Each try of the removal first clears the copy's attributes (a
    // read-only copy cannot be deleted): the neighbour marks it again after
    // the first try and lets go only once it sees a second.
    const std::wstring locked = Lock(root_, L"", L"doc.txt", RandomBytes(9000, 1), false);
    const Snapshot before = TakeSnapshot(root_);
    g_holding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_realCopy = reinterpret_cast<decltype(g_realCopy)>(
        ReplaceImport("CopyFileExW", reinterpret_cast<void*>(CopyThenFailWhileHeld)));
    ASSERT_NE(g_realCopy, nullptr);
    std::atomic<bool> done{false};
    bool triedAgain = false;
    std::thread neighbour([&] {
        WaitForSingleObject(g_holding, INFINITE);
        const auto marked = [&] { return !done && (GetFileAttributesW(g_held.c_str()) & FILE_ATTRIBUTE_HIDDEN); };
        while (marked()) {
        }
        SetFileAttributesW(g_held.c_str(), FILE_ATTRIBUTE_HIDDEN);
        while (marked()) {
        }
        triedAgain = !done;
        CloseHandle(g_neighbour);
    });
    const Status status = DecryptLockedFile(locked.c_str(), uint32_t(root_.size() + 1));
    done = true;
    SetEvent(g_holding);
    neighbour.join();
    ReplaceImport("CopyFileExW", reinterpret_cast<void*>(g_realCopy));
    CloseHandle(g_holding);
    EXPECT_EQ(status, RC_FAILED);
    EXPECT_TRUE(triedAgain) << "the removal was not tried again while the neighbour held the copy";
    ExpectOnlyCopiesAdded(root_, before);
}

INSTANTIATE_TEST_SUITE_P(, CopyTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

} // namespace
