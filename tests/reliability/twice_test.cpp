// Two runs of the scanner at once on one folder, as when a user starts the
// program twice: neither may take the other's copy in the making, so every
// locked file gets a complete copy from each, and nothing else is left.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/reliability/fault_scan.h"
#include "tests/support/driver.h"

using namespace uidriver;

namespace {

class TwiceTest : public FaultScanTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(TwiceTest, TwoScansOfOneFolderAtOnceLeaveTwoCompleteCopiesAndNothingElse)
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

INSTANTIATE_TEST_SUITE_P(, TwiceTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) { return info.param == Layout::kPlain ? "Plain" : "Trailer"; });

} // namespace
