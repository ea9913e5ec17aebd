// ScanPath with folder arguments: the generated trees of both layouts, the
// argument forms that scan nothing, the \\?\ mending of folder paths.
// Drive arguments need drive letters of their own, and this prefix's Z: is
// the machine's root: drive scans are tested in drive_test.cpp only.
#include <windows.h>

#include <gtest/gtest.h>

#include "scan/state.h"
#include "scan/walk.h"
#include "tests/scan/recorder.h"
#include "tests/support/tree.h"

namespace {

class ScanPathTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        folder_ = MakeScratchFolder(L"scanpath");
        UseLayoutKey(Layout::kPlain);
    }
    void TearDown() override
    {
        RemoveTree(folder_);
        RecordingTest::TearDown();
    }

    // A folder "photos" with two locked files and one ordinary file.
    std::wstring MakePhotos()
    {
        const std::wstring photos = folder_ + L"\\photos";
        EXPECT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
        WriteBytes(photos + L"\\locked-a.jpg.abcd", LockedBytes(Layout::kPlain, Bytes(5000, 1)));
        WriteBytes(photos + L"\\locked-b.jpg.abcd", LockedBytes(Layout::kPlain, Bytes(10, 2)));
        WriteBytes(photos + L"\\c.jpg", Bytes(10, 3));
        return photos;
    }

    std::wstring folder_;
};

// The trailer layout is scanned as a drive (scan_drive_tests).
TEST_F(ScanPathTest, TreeInThePlainLayoutScannedAsAFolder)
{
    const std::wstring root = MakeScratchFolder(L"tree");
    UseLayoutKey(Layout::kPlain);
    const GeneratedTree tree = GenerateTree(root, Layout::kPlain, 3000, 1000);
    const Snapshot before = TakeSnapshot(root);
    ASSERT_EQ(before.size(), tree.files);
    const uint32_t seen = g_counters.filesSeen;

    EXPECT_EQ(ScanPath(root.c_str()), RC_OK);

    EXPECT_TRUE(g_counters.folderMode);
    EXPECT_EQ(g_counters.filesDecrypted, tree.outputs.size());
    EXPECT_GT(tree.outputs.size(), 900u);
    // Copies that the enumeration may yield after they were written are seen too.
    EXPECT_GE(g_counters.filesSeen - seen, tree.files);
    EXPECT_LE(g_counters.filesSeen - seen, tree.files + tree.outputs.size());
    EXPECT_EQ(g_counters.totalBytes, g_counters.processedBytes + 1048576);
    // Folder mode: one update per entry, the first showing the root's pattern.
    const std::vector<std::wstring> texts = ShownTexts();
    EXPECT_EQ(texts.size(), g_counters.entriesVisited);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), Plain(root) + L"\\*.*"); // as users write it
    ExpectOnlyOutputsAdded(before, TakeSnapshot(root), tree.outputs);
    RemoveTree(root);
}

TEST_F(ScanPathTest, EmptyOrSeparatorsOnlyScanNothing)
{
    MakePhotos();
    for (const wchar_t* path : {L"", L"\\", L"/", L"\\\\\\", L"/\\//"}) {
        EXPECT_EQ(ScanPath(path), RC_EMPTY_PATH);
        EXPECT_TRUE(g_shown.empty());
    }
    EXPECT_EQ(g_counters.filesSeen, 0u);
    EXPECT_EQ(g_counters.filesDecrypted, 0u);
}

TEST_F(ScanPathTest, APathNamingOneLockedFileDecryptsNothing)
{
    const std::wstring photos = MakePhotos();
    for (const std::wstring& path : {photos + L"\\locked-a.jpg.abcd",
                                     Plain(photos) + L"\\locked-a.jpg.abcd",
                                     photos + L"\\locked-a.jpg.abcd\\"}) {
        g_shown.clear();
        EXPECT_EQ(ScanPath(path.c_str()), RC_OK);
        EXPECT_EQ(g_counters.filesDecrypted, 0u);
        EXPECT_EQ(g_counters.entriesVisited, 0u);
        EXPECT_EQ(ShownPositions(), std::vector<uint32_t>{0});
        EXPECT_TRUE(ShownTexts().empty());
    }
    EXPECT_EQ(ListFolder(photos).size(), 3u);
}

TEST_F(ScanPathTest, FolderWithATrailingSeparatorGetsNoSecondOne)
{
    const std::wstring photos = MakePhotos();
    for (const std::wstring& path : {photos + L"\\", Plain(photos) + L"\\"}) {
        g_shown.clear();
        g_counters.filesDecrypted = 0;
        EXPECT_EQ(ScanPath(path.c_str()), RC_OK);
        EXPECT_EQ(g_counters.filesDecrypted, 2u);
        const std::vector<std::wstring> texts = ShownTexts();
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts[0], Plain(photos) + L"\\*.*");
        for (const std::wstring& text : texts)
            EXPECT_EQ(text.find(L"\\\\", 2), std::wstring::npos) << Narrow(text);
        for (const wchar_t* name : {L"a.jpg", L"b.jpg"})
            EXPECT_TRUE(DeleteFileW((photos + L"\\" + name).c_str()));
    }
}

TEST_F(ScanPathTest, FolderPathsAreMadeFullAndPrefixed)
{
    const std::wstring photos = MakePhotos();
    // Forward slashes, doubled separators and "..": the walk gets the
    // cleaned full path in the \\?\ form.
    const std::wstring messy = Plain(photos) + L"//..\\photos/\\";
    EXPECT_EQ(ScanPath(messy.c_str()), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 2u);
    const std::vector<std::wstring> texts = ShownTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], Plain(photos) + L"\\*.*");
}

class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder)
    {
        GetCurrentDirectoryW(MAX_PATH, saved_);
        EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str())) << Narrow(folder);
    }
    ~CurrentFolder() { SetCurrentDirectoryW(saved_); }

private:
    wchar_t saved_[MAX_PATH];
};

TEST_F(ScanPathTest, RelativeFoldersAreResolvedAgainstTheCurrentFolder)
{
    const std::wstring photos = MakePhotos();
    const CurrentFolder current(Plain(folder_));
    for (const wchar_t* path : {L"photos", L".\\photos\\..\\photos\\", L"photos/"}) {
        g_shown.clear();
        g_counters.filesDecrypted = 0;
        EXPECT_EQ(ScanPath(path), RC_OK) << Narrow(path);
        EXPECT_EQ(g_counters.filesDecrypted, 2u) << Narrow(path);
        ASSERT_FALSE(ShownTexts().empty());
        EXPECT_EQ(ShownTexts()[0], Plain(photos) + L"\\*.*");
        for (const wchar_t* name : {L"a.jpg", L"b.jpg"})
            EXPECT_TRUE(DeleteFileW((photos + L"\\" + name).c_str()));
    }
    // "." is the current folder itself.
    g_counters.filesDecrypted = 0;
    EXPECT_EQ(ScanPath(L"."), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 2u);
}

TEST_F(ScanPathTest, ArgumentMadeFullKeepsItsFolderWhenTheCurrentFolderChanges)
{
    // The run makes the argument full before the file dialogs move the
    // current folder elsewhere; drives and empty arguments stay as given.
    const std::wstring photos = MakePhotos();
    wchar_t relative[] = L"photos";
    const wchar_t* made;
    {
        const CurrentFolder start(Plain(folder_));
        made = MakeArgumentFull(relative);
    }
    EXPECT_EQ(std::wstring(made), photos);
    EXPECT_EQ(ScanPath(made), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 2u);
    wchar_t drive[] = L"C:", device[] = L"\\\\.\\D:\\", empty[] = L"";
    for (wchar_t* argument : {drive, device, empty})
        EXPECT_EQ(MakeArgumentFull(argument), argument) << Narrow(argument);
}

DWORD g_modeBefore, g_modeDuring;

DWORD WINAPI ScanOnItsOwnThread(void* path)
{
    g_modeBefore = GetThreadErrorMode();
    return RunScan(static_cast<const wchar_t*>(path));
}

TEST_F(ScanPathTest, TheScanThreadFailsCriticalErrorsSilently)
{
    // Observed from within the walk, on a thread of its own as in a run.
    MakePhotos();
    g_modeBefore = g_modeDuring = 0xFFFFFFFF;
    g_onShown = [] { g_modeDuring = GetThreadErrorMode(); };
    HANDLE thread =
        CreateThread(nullptr, 0, ScanOnItsOwnThread, const_cast<wchar_t*>(folder_.c_str()), 0, nullptr);
    ASSERT_TRUE(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(g_modeBefore & SEM_FAILCRITICALERRORS, 0u);
    EXPECT_EQ(g_modeDuring & SEM_FAILCRITICALERRORS, DWORD(SEM_FAILCRITICALERRORS));
    EXPECT_EQ(g_counters.filesDecrypted, 2u);
}

TEST_F(ScanPathTest, FilesPast260CharactersAreReachedFromAPlainArgument)
{
    // The mended fault: a folder argument without \\?\ still reaches files
    // whose paths pass 260 characters.
    const std::wstring folder = MakeDeepFolder(folder_, 4, 90);
    const std::wstring locked = folder + L"\\locked-deep.txt.abcd";
    ASSERT_GT(locked.size() - 4, 400u);
    WriteBytes(locked, LockedBytes(Layout::kPlain, Bytes(7000, 5)));
    EXPECT_EQ(ScanPath(Plain(folder_).c_str()), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 1u);
    EXPECT_EQ(ReadBytes(folder + L"\\deep.txt"), Bytes(7000, 5));
}

TEST_F(ScanPathTest, ConvertedPathOf32768CharactersIsAttempted)
{
    std::wstring path = L"\\\\?\\C:\\";
    path.append(32768 - path.size(), L'x');
    EXPECT_EQ(ScanPath(path.c_str()), RC_OK);
    EXPECT_EQ(ShownPositions(), std::vector<uint32_t>{0}); // set up, then nothing found
    EXPECT_TRUE(g_counters.folderMode);
}

TEST_F(ScanPathTest, ConvertedPathOf32769CharactersIsRefusedWithoutTouchingTheDisplay)
{
    std::wstring path = L"\\\\?\\C:\\";
    path.append(32769 - path.size(), L'x');
    EXPECT_EQ(ScanPath(path.c_str()), RC_PATH_TOO_LONG);
    // Without the prefix the conversion adds 4 characters: 32765 + 4 > 32768.
    std::wstring plain = L"C:\\";
    plain.append(32766 - plain.size(), L'x');
    EXPECT_EQ(ScanPath(plain.c_str()), RC_PATH_TOO_LONG);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(ScanPathTest, StopRequestedScansNothing)
{
    MakePhotos();
    g_stopRequested = true;
    EXPECT_EQ(ScanPath(folder_.c_str()), RC_OK);
    EXPECT_EQ(g_counters.filesSeen, 0u);
    EXPECT_EQ(ShownPositions(), std::vector<uint32_t>{0}); // the set-up, then nothing
    EXPECT_EQ(ListFolder(folder_ + L"\\photos").size(), 3u);
}

} // namespace
