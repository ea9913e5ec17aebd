#include "tests/reliability/fault_scan.h"

#include <windows.h>

#include "scan/walk.h"
#include "tests/scan/recorder.h"

namespace {

std::map<std::wstring, std::function<void()>> g_faults;

void ShowText(const wchar_t* text)
{
    const auto found = g_faults.find(text);
    if (found == g_faults.end())
        return;
    const std::function<void()> fault = found->second;
    g_faults.erase(found);
    fault();
}
void SetNoRange() {}
void SetNoPosition(uint32_t) {}
void SetNoColor() {}

} // namespace

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? name : folder + L"\\" + name;
}

bool CanCreate(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Wine may create a name too long for Linux cut short: the file must be
    // listed under the very name asked for.
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(path.c_str(), &entry);
    const bool exact = find != INVALID_HANDLE_VALUE &&
                       path.compare(path.rfind(L'\\') + 1, std::wstring::npos, entry.cFileName) == 0;
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    CloseHandle(file);
    return exact;
}

void FaultScanTest::SetUp()
{
    saved_ = g_progress;
    // The faults strike on status texts, so every update must reach them.
    savedClock_ = g_displayClock;
    UseTestClock();
    g_stopRequested = false;
    g_faults.clear();
    root_ = MakeScratchFolder(L"fault");
    UseLayout(Layout::kPlain);
}

void FaultScanTest::TearDown()
{
    g_progress = saved_;
    g_displayClock = savedClock_;
    g_faults.clear();
    for (const auto& [folder, access] : restricted_)
        EXPECT_TRUE(SetFolderAccess(folder, FolderAccess::kFull)) << Narrow(folder);
    RemoveTree(root_);
}

bool FaultScanTest::Restrict(const std::wstring& folder, FolderAccess access)
{
    if (access == FolderAccess::kFull)
        restricted_.erase(folder);
    else
        restricted_[folder] = access;
    return SetFolderAccess(folder, access);
}

void FaultScanTest::UseLayout(Layout layout)
{
    layout_ = layout;
    UseLayoutKey(layout);
}

std::wstring FaultScanTest::LockedName(const std::wstring& name) const
{
    return layout_ == Layout::kPlain ? L"locked-" + name + L".abcd" : name;
}

std::wstring FaultScanTest::Lock(const std::wstring& root, const std::wstring& folder,
                                 const std::wstring& name, const Bytes& original, bool expectCopy)
{
    return LockAs(root, folder, LockedName(name), original, expectCopy);
}

std::wstring FaultScanTest::LockAs(const std::wstring& root, const std::wstring& folder,
                                   const std::wstring& lockedName, const Bytes& original,
                                   bool expectCopy, unsigned taken)
{
    const std::wstring path = root + L"\\" + Join(folder, lockedName);
    WriteBytes(path, LockedBytes(layout_, original));
    if (expectCopy)
        ExpectCopy(Join(folder, OutputName(layout_, lockedName, taken)), original);
    return path;
}

void FaultScanTest::Scan(const std::wstring& root)
{
    g_counters = {};
    EXPECT_EQ(ScanPath(root.c_str()), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, outputs_.size()) << "the count of the run";
}

void FaultScanTest::ExpectOnlyCopiesAdded(const std::wstring& root, const Snapshot& before)
{
    ExpectOnlyOutputsAdded(before, TakeSnapshot(root), outputs_);
}

void FaultScanTest::OnStatusText(const std::wstring& text, std::function<void()> fault)
{
    g_progress = {ShowText, SetNoRange, SetNoPosition, SetNoColor};
    // The status line shows a path as users write it (C:\..., not \\?\C:\...).
    g_faults[Plain(text)] = std::move(fault);
}

size_t FaultScanTest::FaultsNotRun() const { return g_faults.size(); }

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}
