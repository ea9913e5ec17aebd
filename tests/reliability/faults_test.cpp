// Faults of other programs and of the disk during a folder scan. Whatever
// goes wrong, the scan must go on with the next file, leave every locked
// file as it was and no half-written copy behind, and count only the
// copies it wrote.
#include <windows.h>

#include <tuple>

#include <gtest/gtest.h>

#include "core/state.h"
#include "tests/reliability/fault_scan.h"
#include "tests/support/driver.h"
#include "tests/support/imports.h"

namespace {

const char kNotEnforced[] =
    "folder permissions are not enforced for this process (root's capabilities); "
    "tools/reliability-tests.sh runs the tests without them";

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info)
{
    return info.param == Layout::kPlain ? "Plain" : "Trailer";
}

bool Truncate(const std::wstring& path, int64_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool done = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return done;
}

// Another process (felnox_hold.exe, beside this test) that holds a file
// open from construction to destruction.
class Holder {
public:
    Holder(const std::wstring& path, const wchar_t* mode)
    {
        static int serial = 0;
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        const std::wstring readyName = L"felnox-hold-ready-" + tag;
        const std::wstring releaseName = L"felnox-hold-release-" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
        const std::wstring args = uidriver::QuoteArgument(path) + L" " + mode + L" " +
                                  readyName + L" " + releaseName;
        if (!process_.Start(uidriver::ModuleDirectory() + L"\\felnox_hold.exe", args, L""))
            return;
        HANDLE either[] = {ready_, process_.handle()};
        holding_ = WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~Holder()
    {
        SetEvent(release_);
        DWORD code = 0;
        EXPECT_TRUE(process_.WaitForExit(20000, &code));
        EXPECT_EQ(code, 0u) << "the holder did not hold the file to the end";
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    bool Holding() const { return holding_; }

private:
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    uidriver::Process process_;
    bool holding_ = false;
};

class HeldOpenTest : public FaultScanTest,
                     public ::testing::WithParamInterface<std::tuple<Layout, const wchar_t*>> {};

TEST_P(HeldOpenTest, FileHeldByAnotherProcessIsLeftForLater)
{
    UseLayout(std::get<0>(GetParam()));
    Lock(root_, L"", L"a.doc", RandomBytes(9000, 1));
    const std::wstring held = Lock(root_, L"", L"b.doc", RandomBytes(9000, 2), false);
    Lock(root_, L"", L"c.doc", RandomBytes(100, 3));
    const Snapshot before = TakeSnapshot(root_);
    {
        const Holder holder(held, std::get<1>(GetParam()));
        ASSERT_TRUE(holder.Holding());
        HANDLE reader = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_EQ(reader, INVALID_HANDLE_VALUE) << "the holder shares the file after all";
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        Scan(root_);
    }
    ExpectOnlyCopiesAdded(root_, before);
}

INSTANTIATE_TEST_SUITE_P(, HeldOpenTest,
                         ::testing::Combine(::testing::Values(Layout::kPlain, Layout::kTrailer),
                                            ::testing::Values(L"exclusive", L"writing")),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Layout::kPlain
                                                    ? "Plain"
                                                    : "Trailer") +
                                    (std::wstring(std::get<1>(info.param)) == L"exclusive"
                                         ? "Exclusive"
                                         : "Writing");
                         });

class LayoutFaultTest : public FaultScanTest, public ::testing::WithParamInterface<Layout> {
protected:
    void SetUp() override
    {
        FaultScanTest::SetUp();
        UseLayout(GetParam());
    }
};

TEST_P(LayoutFaultTest, FolderWhereNothingMayBeAdded)
{
    // The copies of "shut" cannot be created; its subfolder lets them be.
    const std::wstring shut = root_ + L"\\shut";
    ASSERT_TRUE(CreateDirectoryW(shut.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((shut + L"\\open").c_str(), nullptr));
    Lock(root_, L"shut", L"a.doc", RandomBytes(9000, 1), false);
    Lock(root_, L"shut", L"README", RandomBytes(20, 2), false);
    Lock(root_, L"shut\\open", L"c.doc", RandomBytes(5000, 3));
    const Snapshot before = TakeSnapshot(root_);
    if (!Restrict(shut, FolderAccess::kListOnly))
        GTEST_SKIP() << kNotEnforced;
    Scan(root_);
    ASSERT_TRUE(Restrict(shut, FolderAccess::kFull));
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(LayoutFaultTest, ReadOnlyFileSystem)
{
    // tools/reliability-tests.sh mounts a read-only view of a folder that
    // stays writable under another path.
    const std::wstring view = Environment(L"FELNOX_READ_ONLY_DISK");
    const std::wstring source = Environment(L"FELNOX_READ_ONLY_SOURCE");
    if (view.empty() || source.empty())
        GTEST_SKIP() << "no read-only file system (FELNOX_READ_ONLY_DISK)";
    const std::wstring folder = GetParam() == Layout::kPlain ? L"plain" : L"trailer";
    RemoveTree(source + L"\\" + folder);
    ASSERT_TRUE(CreateDirectoryW((source + L"\\" + folder).c_str(), nullptr));
    Lock(source, folder, L"a.doc", RandomBytes(9000, 1), false);
    Lock(source, folder, L"b.txt", RandomBytes(100, 2), false);
    const std::wstring scanned = view + L"\\" + folder;
    ASSERT_FALSE(CanCreate(scanned + L"\\probe")) << "the view is writable";
    const Snapshot before = TakeSnapshot(scanned);
    ASSERT_EQ(before.size(), 2u);

    Scan(scanned);
    ExpectOnlyCopiesAdded(scanned, before);
    RemoveTree(source + L"\\" + folder);
}

TEST_P(LayoutFaultTest, FolderThatCannotBeListed)
{
    for (const wchar_t* folder : {L"sealed", L"open"})
        ASSERT_TRUE(CreateDirectoryW((root_ + L"\\" + folder).c_str(), nullptr));
    Lock(root_, L"", L"a.doc", RandomBytes(9000, 1));
    Lock(root_, L"sealed", L"b.doc", RandomBytes(9000, 2), false);
    Lock(root_, L"open", L"c.doc", RandomBytes(9000, 3));
    const Snapshot before = TakeSnapshot(root_);
    if (!Restrict(root_ + L"\\sealed", FolderAccess::kNothing))
        GTEST_SKIP() << kNotEnforced;
    Scan(root_);
    ASSERT_TRUE(Restrict(root_ + L"\\sealed", FolderAccess::kFull));
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(LayoutFaultTest, ScannedFolderThatCannotBeListed)
{
    const std::wstring sealed = root_ + L"\\sealed";
    ASSERT_TRUE(CreateDirectoryW(sealed.c_str(), nullptr));
    Lock(root_, L"sealed", L"a.doc", RandomBytes(9000, 1), false);
    const Snapshot before = TakeSnapshot(root_);
    if (!Restrict(sealed, FolderAccess::kNothing))
        GTEST_SKIP() << kNotEnforced;
    Scan(sealed);
    EXPECT_EQ(g_counters.filesSeen, 0u);
    ASSERT_TRUE(Restrict(sealed, FolderAccess::kFull));
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(LayoutFaultTest, FilesThatShrinkOrVanishBeforeTheirTurn)
{
    Lock(root_, L"", L"steady.doc", RandomBytes(20000, 1));
    // Each file that changes lies alone in its folder: the display update
    // just before its turn shows that folder's search pattern, when the
    // walk has already seen the file as it was.
    struct Fault {
        const wchar_t* folder;
        int64_t keep; // bytes left; -1: the file is gone, -2: a folder in its place
    };
    const Fault faults[] = {{L"gone", -1}, {L"emptied", 0}, {L"cut", 1000}, {L"folder", -2}};
    Snapshot expected; // what the locked files hold after the faults
    for (const Fault& fault : faults) {
        ASSERT_TRUE(CreateDirectoryW((root_ + L"\\" + fault.folder).c_str(), nullptr));
        const Bytes original = RandomBytes(30000, 2);
        const std::wstring locked = LockedName(L"victim.doc");
        const std::wstring path = LockAs(root_, fault.folder, locked, original, false);
        const std::wstring relative = Join(fault.folder, locked);
        if (fault.keep >= 0) {
            const Bytes lockedBytes = ReadBytes(path);
            expected[relative] = Bytes(lockedBytes.begin(), lockedBytes.begin() + fault.keep);
        }
        // What is left of a plain-layout file is still its locked head.
        if (fault.keep > 0 && layout_ == Layout::kPlain)
            ExpectCopy(Join(fault.folder, OutputName(layout_, locked)),
                       Bytes(original.begin(), original.begin() + fault.keep));
        OnStatusText(root_ + L"\\" + fault.folder + L"\\*.*", [path, fault] {
            if (fault.keep >= 0) {
                EXPECT_TRUE(Truncate(path, fault.keep));
                return;
            }
            EXPECT_TRUE(DeleteFileW(path.c_str()));
            if (fault.keep == -2) {
                EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
            }
        });
    }
    Snapshot before = TakeSnapshot(root_);
    for (const Fault& fault : faults)
        before.erase(Join(fault.folder, LockedName(L"victim.doc")));
    before.insert(expected.begin(), expected.end());

    Scan(root_);
    EXPECT_EQ(FaultsNotRun(), 0u);
    ExpectOnlyCopiesAdded(root_, before);
}

INSTANTIATE_TEST_SUITE_P(, LayoutFaultTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         LayoutName);

class DiskFullTest : public FaultScanTest,
                     public ::testing::WithParamInterface<std::tuple<Layout, DWORD>> {};

TEST_P(DiskFullTest, CopyThatFillsTheDiskLeavesNothingBehind)
{
    // A file system of 4 MiB, mounted by tools/reliability-tests.sh: the
    // copy of a locked file of 2.5 MiB cannot complete; small ones can.
    const std::wstring disk = Environment(L"FELNOX_SMALL_DISK");
    if (disk.empty())
        GTEST_SKIP() << "no small file system (FELNOX_SMALL_DISK) to fill";
    UseLayout(std::get<0>(GetParam()));
    const std::wstring folder = disk + L"\\full";
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Lock(folder, L"", L"small.doc", RandomBytes(20000, 1));
    const std::wstring big = Lock(folder, L"", L"big.iso", RandomBytes(5 << 19, 2), false);
    Lock(folder, L"", L"other.txt", RandomBytes(3000, 3));
    if (std::get<1>(GetParam()) != 0) {
        ASSERT_TRUE(SetFileAttributesW(big.c_str(), std::get<1>(GetParam())));
    }
    const Snapshot before = TakeSnapshot(folder);

    Scan(folder);
    ExpectOnlyCopiesAdded(folder, before);
    RemoveTree(folder);
}

// The copy fails in its first step, before the layouts part: each
// attribute the partial copy may carry once, the layouts between them.
INSTANTIATE_TEST_SUITE_P(, DiskFullTest,
                         ::testing::Values(std::make_tuple(Layout::kPlain, DWORD(0)),
                                           std::make_tuple(Layout::kTrailer, DWORD(FILE_ATTRIBUTE_READONLY)),
                                           std::make_tuple(Layout::kPlain, DWORD(FILE_ATTRIBUTE_HIDDEN))),
                         [](const auto& info) {
                             const DWORD attributes = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param) == Layout::kPlain
                                                    ? "Plain"
                                                    : "Trailer") +
                                    (attributes == 0                          ? "Normal"
                                     : attributes == FILE_ATTRIBUTE_READONLY ? "ReadOnly"
                                                                              : "Hidden");
                         });

// FlushFileBuffers as the program calls it, counted: no file system under
// Wine lets a flush be watched.
decltype(&FlushFileBuffers) g_realFlush;
uint32_t g_flushes;

BOOL WINAPI CountedFlush(HANDLE file)
{
    ++g_flushes;
    return g_realFlush(file);
}

using FlushTest = FaultScanTest;

TEST_F(FlushTest, CopiesOnRemovableOrRemoteVolumesAreFlushedBeforeTheirNames)
{
    // A floppy and a network drive, each linked to a folder, that
    // tools/reliability-tests.sh gives the prefix; the scratch folder lies
    // on a fixed disk.
    struct Case {
        const wchar_t* variable; // the drive; nullptr for the scratch folder
        bool flushed;
    };
    const Case cases[] = {{L"FELNOX_REMOVABLE_DISK", true}, {L"FELNOX_NETWORK_DISK", true}, {nullptr, false}};
    UseLayout(Layout::kPlain);
    for (const Case& c : cases) {
        const std::wstring disk = c.variable ? Environment(c.variable) : root_;
        if (disk.empty())
            GTEST_SKIP() << Narrow(c.variable) << " not set: run through tools/reliability-tests.sh";
        SCOPED_TRACE(Narrow(disk));
        const std::wstring folder = disk + L"\\flush";
        RemoveTree(folder);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        Lock(folder, L"", L"a.doc", RandomBytes(20000, 1));
        Lock(folder, L"", L"b.doc", RandomBytes(3000, 2));
        const Snapshot before = TakeSnapshot(folder);
        g_flushes = 0;
        g_realFlush = reinterpret_cast<decltype(g_realFlush)>(
            ReplaceImport("FlushFileBuffers", reinterpret_cast<void*>(CountedFlush)));
        ASSERT_NE(g_realFlush, nullptr);
        Scan(folder);
        ReplaceImport("FlushFileBuffers", reinterpret_cast<void*>(g_realFlush));
        EXPECT_EQ(g_flushes, c.flushed ? 2u : 0u);
        ExpectOnlyCopiesAdded(folder, before);
        RemoveTree(folder);
    }
}

} // namespace
