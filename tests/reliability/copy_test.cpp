// How a copy is built, seen from outside the scanner: two runs at once on
// one folder, where neither may take the other's copy in the making, so
// every locked file gets a complete copy from each and nothing else is
// left; and the copy hidden while it is built.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/names.h"
#include "tests/reliability/fault_scan.h"
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

INSTANTIATE_TEST_SUITE_P(, CopyTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

} // namespace
