// WalkDirectory on real folders, with the display recorded: the cadence and
// the arithmetic of the bar, the path limit, the stop request.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "core/state.h"
#include "scan/entry.h"
#include "scan/progress.h"
#include "scan/state.h"
#include "scan/walk.h"
#include "tests/scan/recorder.h"
#include "tests/support/huge.h"
#include "tests/support/imports.h"
#include "tests/support/locker.h"
#include "tests/support/tree.h"

namespace {

// The real enumeration while a test has put its own in the import table,
// through which the walk calls it.
decltype(&FindFirstFileW) g_realFindFirst;
decltype(&FindNextFileW) g_realFindNext;

void RestoreEnumeration()
{
    if (g_realFindFirst)
        ReplaceImport("FindFirstFileW", reinterpret_cast<void*>(g_realFindFirst));
    if (g_realFindNext)
        ReplaceImport("FindNextFileW", reinterpret_cast<void*>(g_realFindNext));
    g_realFindFirst = nullptr;
    g_realFindNext = nullptr;
}

class WalkTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        folder_ = MakeScratchFolder(L"walk");
        UseLayoutKey(Layout::kPlain);
    }
    void TearDown() override
    {
        RestoreEnumeration();
        RemoveTree(folder_);
        RecordingTest::TearDown();
    }

    // count files of `size` bytes each, named f00 ... in the folder.
    void WriteFiles(const std::wstring& folder, size_t count, size_t size)
    {
        for (size_t i = 0; i < count; ++i)
            WriteBytes(folder + L"\\f" + std::to_wstring(i), RandomBytes(size, uint32_t(i)));
    }

    // The walk as a drive scan sets it up (folder mode clear), with the
    // given denominator.
    Status WalkAsDrive(const std::wstring& path, uint64_t total)
    {
        g_counters.folderMode = false;
        g_counters.totalBytes = total;
        return Walk(path);
    }

    Status Walk(const std::wstring& path)
    {
        wmemcpy(buffer_.get(), path.c_str(), path.size() + 1);
        return WalkDirectory(buffer_.get());
    }

    std::wstring folder_;
    std::unique_ptr<wchar_t[]> buffer_{new wchar_t[kPathCapacity]};
};

TEST_F(WalkTest, DriveScanOf63EntriesNeverUpdatesTheDisplay)
{
    WriteFiles(folder_, 63, 10);
    EXPECT_EQ(WalkAsDrive(folder_, 1000), RC_OK);
    EXPECT_EQ(g_counters.entriesVisited, 63u);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(WalkTest, DriveScanOf64EntriesUpdatesItOnce)
{
    // Entries are files and directories at any depth: 2 folders, 60 files
    // beside them, 2 inside one of them.
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub\\deeper").c_str(), nullptr));
    WriteFiles(folder_, 60, 10);
    WriteFiles(folder_ + L"\\sub\\deeper", 2, 10);
    EXPECT_EQ(WalkAsDrive(folder_, 100000), RC_OK);
    EXPECT_EQ(g_counters.entriesVisited, 64u);
    ASSERT_EQ(g_shown.size(), 2u);
    EXPECT_EQ(g_shown[0].kind, Shown::kPosition);
    EXPECT_EQ(g_shown[1].kind, Shown::kText);
    // The text is the path of an entry handled before the 64th one.
    const std::wstring& text = g_shown[1].text;
    EXPECT_EQ(text.compare(0, folder_.size() - 3, Plain(folder_) + L"\\"), 0) << Narrow(text);
    EXPECT_EQ(text.find(L'*'), std::wstring::npos) << Narrow(text);
    EXPECT_TRUE(Exists(text)) << Narrow(text);
}

// The bar and the status line move while the walk goes on, not only at its
// end: an update every 64 entries in a drive scan, of which the window gets
// one per 30 ms of the display clock, and the last when the walk ends.
TEST_F(WalkTest, BarAndStatusLineMoveDuringTheScanAtTheDisplayPace)
{
    WriteFiles(folder_, 256, 100);
    const struct {
        uint64_t stepMs; // the clock's advance from one update to the next
        std::vector<uint32_t> positions;
    } cases[] = {
        // 25600 bytes in all: before the 64th, 128th, 192nd and 256th entry,
        // 63, 127, 191 and 255 files of 100 bytes have been seen.
        {1000, {63, 127, 191, 255}},
        {30, {63, 127, 191, 255}},
        {29, {63, 191, 255}}, // the second 29 ms after the first: held back
        {15, {63, 191, 255}},
        {0, {63, 255}},       // the first at once, the last when the walk ends
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.stepMs << " ms");
        g_shown.clear();
        g_counters = {};
        g_clockMs += 3600 * 1000; // long after the last update of the walk before
        g_clockStepMs = c.stepMs;
        EXPECT_EQ(WalkAsDrive(folder_, 25600), RC_OK);
        EXPECT_EQ(ShownPositions(), c.positions);
        const std::vector<std::wstring> texts = ShownTexts();
        ASSERT_EQ(texts.size(), c.positions.size());
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_TRUE(Exists(texts[i])) << Narrow(texts[i]);
        EXPECT_EQ(std::set<std::wstring>(texts.begin(), texts.end()).size(), texts.size());
    }
}

TEST_F(WalkTest, ProcessedEqualToTotalShows256)
{
    WriteFiles(folder_, 64, 100);
    EXPECT_EQ(WalkAsDrive(folder_, 63 * 100), RC_OK);
    EXPECT_EQ(ShownPositions(), std::vector<uint32_t>{256});
}

TEST_F(WalkTest, ProcessedPastTotalStaysAt255)
{
    WriteFiles(folder_, 130, 100);
    EXPECT_EQ(WalkAsDrive(folder_, 63 * 100 - 1), RC_OK);
    EXPECT_EQ(ShownPositions(), (std::vector<uint32_t>{255, 255}));
}

TEST_F(WalkTest, DenominatorOfOneStaysAt0WhileFilesAreEmpty)
{
    WriteFiles(folder_, 64, 0);
    EXPECT_EQ(WalkAsDrive(folder_, 1), RC_OK);
    EXPECT_EQ(ShownPositions(), std::vector<uint32_t>{0});
}

std::vector<uint64_t> g_processedAtPosition;

TEST_F(WalkTest, DenominatorOfOneIsFullOnceANonEmptyFileWasSeen)
{
    WriteFiles(folder_, 63, 0);
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\more").c_str(), nullptr));
    WriteFiles(folder_ + L"\\more", 64, 1);
    g_processedAtPosition.clear();
    g_onShown = [] {
        if (g_shown.back().kind == Shown::kPosition)
            g_processedAtPosition.push_back(g_counters.processedBytes);
    };
    EXPECT_EQ(WalkAsDrive(folder_, 1), RC_OK);
    // 128 entries, two updates; by the second at least one byte was seen.
    const std::vector<uint32_t> positions = ShownPositions();
    ASSERT_EQ(positions.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const uint64_t processed = g_processedAtPosition[i];
        EXPECT_EQ(positions[i], processed == 0 ? 0u : processed == 1 ? 256u : 255u) << processed;
    }
    EXPECT_GE(g_processedAtPosition[1], 1u);
}

TEST_F(WalkTest, FolderModeUpdatesOnEveryEntry)
{
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
    WriteFiles(folder_, 5, 3000);
    WriteFiles(folder_ + L"\\sub", 4, 3000);
    for (int i = 0; i < 3; ++i)
        WriteBytes(folder_ + L"\\locked-doc" + std::to_wstring(i) + L".txt.abcd",
                   LockedBytes(Layout::kPlain, RandomBytes(9000, 80u + i)));
    g_counters.folderMode = true;
    g_counters.totalBytes = 1048576;
    EXPECT_EQ(Walk(folder_), RC_OK);
    EXPECT_EQ(g_counters.entriesVisited, 13u);
    EXPECT_EQ(ShownTexts().size(), 13u);
    EXPECT_EQ(ShownPositions().size(), 13u);
    // The first update of a directory shows its search pattern.
    EXPECT_EQ(ShownTexts().front(), Plain(folder_) + L"\\*.*");
}

TEST_F(WalkTest, FolderBarStaysAt0UntilAFileIsDecryptedThenGrows)
{
    WriteFiles(folder_, 20, 5000);
    for (int i = 0; i < 20; ++i)
        WriteBytes(folder_ + L"\\locked-doc" + std::to_wstring(i) + L".txt.abcd",
                   LockedBytes(Layout::kPlain, RandomBytes(20000 + 1000 * i, 90u + i)));
    g_counters.folderMode = true;
    g_counters.totalBytes = 1048576;
    EXPECT_EQ(Walk(folder_), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 20u);
    const std::vector<uint32_t> positions = ShownPositions();
    ASSERT_EQ(positions.size(), 40u);
    uint32_t last = 0;
    bool moved = false;
    for (uint32_t position : positions) {
        EXPECT_GE(position, last);
        EXPECT_LE(position, 255u);
        moved = moved || position > 0;
        last = position;
    }
    EXPECT_TRUE(moved);
    EXPECT_EQ(positions.front(), 0u); // nothing seen yet
}

TEST_F(WalkTest, DotEntriesAreSkippedAndNamesBeginningWithDotsAreVisited)
{
    for (const wchar_t* name : {L".a", L"..b", L".x.y", L"..."})
        WriteBytes(folder_ + L"\\" + name, Bytes(3, 1));
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\..dir").c_str(), nullptr));
    WriteBytes(folder_ + L"\\..dir\\.inner", Bytes(3, 1));
    EXPECT_EQ(WalkAsDrive(folder_, 1), RC_OK);
    EXPECT_EQ(ListFolder(folder_).size(), 5u);
    EXPECT_EQ(g_counters.entriesVisited, 6u); // 4 + 1 files, 1 folder
    EXPECT_EQ(g_counters.filesSeen, 5u);
}

TEST_F(WalkTest, AFileThatFailsToDecryptIsStillSeenAndProcessed)
{
    WriteBytes(folder_ + L"\\locked-empty.doc.abcd", Bytes());         // nothing to read
    WriteBytes(folder_ + L"\\Locked-case.doc.abcd", Bytes(700, 1));    // wrong case
    WriteBytes(folder_ + L"\\locked-good.doc.abcd", LockedBytes(Layout::kPlain, Bytes(300, 2)));
    EXPECT_EQ(WalkAsDrive(folder_, 1000), RC_OK);
    EXPECT_EQ(g_counters.filesSeen, 3u);
    EXPECT_EQ(g_counters.filesDecrypted, 1u);
    EXPECT_EQ(g_counters.processedBytes, 1000u);
    EXPECT_EQ(ReadBytes(folder_ + L"\\good.doc"), Bytes(300, 2));
}

// The walk skips files too small to end in the key's trailer without opening
// them; a file that is the trailer alone (an empty file, locked) is not one.
TEST_F(WalkTest, TrailerLayoutSkipsOnlyFilesShorterThanTheTrailer)
{
    UseLayoutKey(Layout::kTrailer);
    const Bytes lockedEmpty = LockedBytes(Layout::kTrailer, Bytes());
    ASSERT_EQ(lockedEmpty.size(), g_key.reference.totalLength);
    WriteBytes(folder_ + L"\\empty", lockedEmpty);
    WriteBytes(folder_ + L"\\short", Bytes(lockedEmpty.begin() + 1, lockedEmpty.end()));
    EXPECT_EQ(WalkAsDrive(folder_, 1000), RC_OK);
    EXPECT_EQ(g_counters.filesSeen, 2u);
    EXPECT_EQ(g_counters.filesDecrypted, 1u);
    EXPECT_EQ(g_counters.processedBytes, 2 * lockedEmpty.size() - 1);
    EXPECT_EQ(ReadBytes(folder_ + L"\\empty.decrypted01"), Bytes());
    EXPECT_EQ(ListFolder(folder_).size(), 3u);
}

// What the walk decides from a file's entry before anything opens it. The
// attributes are those Windows gives the files of a cloud folder: an
// online-only OneDrive file is unpinned (0x100000) and recalled on data
// access (0x400000); "Always keep on this device" pins it (0x80000).
TEST(SkipUnopened, FilesTooShortAndInTheTrailerLayoutRemoteOnes)
{
    const struct {
        Layout layout;
        uint64_t size; // 0: the key's trailer, 1: one byte less, else as given
        uint32_t attributes;
        bool skipped;
    } cases[] = {
        {Layout::kTrailer, 100000, 0, false},
        {Layout::kTrailer, 100000, 0x2 | 0x4 | 0x20 | 0x200 | 0x2000, false}, // hidden, system, sparse...
        {Layout::kTrailer, 100000, 0x80000 | 0x20, false},
        {Layout::kTrailer, 100000, 0x400000 | 0x100000 | 0x20, true},
        {Layout::kTrailer, 100000, 0x40000, true},
        {Layout::kTrailer, 100000, 0x1000, true},
        {Layout::kTrailer, 0, 0, false},
        {Layout::kTrailer, 1, 0, true},
        {Layout::kPlain, 100000, 0x400000 | 0x40000 | 0x1000, false}, // the name decides
    };
    for (const auto& c : cases) {
        UseLayoutKey(c.layout);
        const uint64_t trailer = LockedBytes(Layout::kTrailer, Bytes()).size();
        const uint64_t size = c.size == 0 ? trailer : c.size == 1 ? trailer - 1 : c.size;
        EXPECT_EQ(SkipUnopened(g_key, size, c.attributes), c.skipped)
            << (c.layout == Layout::kPlain ? "plain " : "trailer ") << size << " bytes, attributes 0x"
            << std::hex << c.attributes;
    }
}

// Wine keeps no cloud attributes on its files: the enumeration the walk
// reads gives them to the entries whose names hold "cloud", as Windows
// reports them in a cloud folder.
uint32_t g_cloudAttributes;

void AddCloudAttributes(WIN32_FIND_DATAW* entry)
{
    if (wcsstr(entry->cFileName, L"cloud") != nullptr)
        entry->dwFileAttributes |= g_cloudAttributes;
}

HANDLE WINAPI FindFirstInCloud(const wchar_t* pattern, WIN32_FIND_DATAW* entry)
{
    HANDLE find = g_realFindFirst(pattern, entry);
    if (find != INVALID_HANDLE_VALUE)
        AddCloudAttributes(entry);
    return find;
}

BOOL WINAPI FindNextInCloud(HANDLE find, WIN32_FIND_DATAW* entry)
{
    const BOOL found = g_realFindNext(find, entry);
    if (found)
        AddCloudAttributes(entry);
    return found;
}

// A scan must not download the user's cloud: in the trailer layout a file
// whose data is remote is never opened (its valid trailer stays unread, no
// copy is made), yet counted as seen with its bytes. In the plain layout a
// locked name is opened wherever the data lies.
TEST_F(WalkTest, RemoteFilesAreLeftUnopenedInTheTrailerLayoutOnly)
{
    const struct {
        Layout layout;
        uint32_t attributes;
        const wchar_t* locked;
        const wchar_t* copy;
        bool opened;
    } cases[] = {
        {Layout::kTrailer, 0x400000 | 0x100000 | 0x20, L"cloud.doc", L"cloud.decrypted01.doc", false},
        {Layout::kTrailer, 0x80000 | 0x20, L"cloud.doc", L"cloud.decrypted01.doc", true},
        {Layout::kPlain, 0x400000 | 0x100000 | 0x20, L"locked-cloud.doc.abcd", L"cloud.doc", true},
    };
    g_realFindFirst = reinterpret_cast<decltype(g_realFindFirst)>(
        ReplaceImport("FindFirstFileW", reinterpret_cast<void*>(FindFirstInCloud)));
    g_realFindNext = reinterpret_cast<decltype(g_realFindNext)>(
        ReplaceImport("FindNextFileW", reinterpret_cast<void*>(FindNextInCloud)));
    ASSERT_TRUE(g_realFindFirst && g_realFindNext);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Narrow(c.locked) << ", attributes 0x" << std::hex << c.attributes);
        UseLayoutKey(c.layout);
        const Bytes original = RandomBytes(20000, 5);
        const Bytes locked = LockedBytes(c.layout, original);
        WriteBytes(folder_ + L"\\" + c.locked, locked);
        g_cloudAttributes = c.attributes;
        g_counters = {};
        EXPECT_EQ(WalkAsDrive(folder_, 1000000), RC_OK);
        EXPECT_EQ(g_counters.filesSeen, 1u);
        EXPECT_EQ(g_counters.processedBytes, locked.size());
        EXPECT_EQ(g_counters.filesDecrypted, c.opened ? 1u : 0u);
        EXPECT_EQ(Exists(folder_ + L"\\" + c.copy), c.opened);
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    }
}

TEST_F(WalkTest, PathOf32768CharactersIsAttempted)
{
    std::wstring path = L"\\\\?\\C:\\";
    path.append(32768 - path.size(), L'x');
    EXPECT_EQ(Walk(path), RC_OK);
    EXPECT_EQ(std::wstring(buffer_.get()), path + L"\\*.*"); // the enumeration was tried
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(WalkTest, PathOf32769CharactersIsRefusedWithoutTouchingTheDisplay)
{
    std::wstring path = L"\\\\?\\C:\\";
    path.append(32769 - path.size(), L'x');
    EXPECT_EQ(Walk(path), RC_PATH_TOO_LONG);
    EXPECT_EQ(std::wstring(buffer_.get()), path);
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ(g_counters.entriesVisited, 0u);
}

TEST_F(WalkTest, PathEndingInASeparatorGetsNoSecondOne)
{
    WriteFiles(folder_, 1, 1);
    g_counters.folderMode = true;
    EXPECT_EQ(Walk(folder_ + L"\\"), RC_OK);
    EXPECT_EQ(ShownTexts(), std::vector<std::wstring>{Plain(folder_) + L"\\*.*"});
}

TEST_F(WalkTest, MissingFolderOrAFileYieldsNothing)
{
    const std::wstring file = folder_ + L"\\locked-a.doc.abcd";
    WriteBytes(file, LockedBytes(Layout::kPlain, Bytes(100, 3)));
    EXPECT_EQ(Walk(folder_ + L"\\absent"), RC_OK);
    EXPECT_EQ(std::wstring(buffer_.get()), folder_ + L"\\absent\\*.*");
    EXPECT_EQ(Walk(file), RC_OK);
    EXPECT_EQ(g_counters.entriesVisited, 0u);
    EXPECT_EQ(g_counters.filesDecrypted, 0u);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(WalkTest, EmptyPathWalksNothing)
{
    EXPECT_EQ(Walk(L""), RC_EMPTY_PATH);
    EXPECT_EQ(g_counters.entriesVisited, 0u);
}

TEST_F(WalkTest, StopRequestedBeforehandReturnsAtOnce)
{
    for (int i = 0; i < 5; ++i)
        WritePlainLocked(folder_, L"d" + std::to_wstring(i), Bytes(100, 1), Bytes(4096, 9));
    g_stopRequested = true;
    EXPECT_EQ(WalkAsDrive(folder_, 1), RC_OK);
    EXPECT_EQ(g_counters.entriesVisited, 0u);
    EXPECT_EQ(g_counters.filesSeen, 0u);
    EXPECT_EQ(ListFolder(folder_).size(), 5u);
}

void RequestStop() { g_stopRequested = true; }

TEST_F(WalkTest, StopRequestedDuringTheWalkEndsItBeforeTheNextEntry)
{
    // Deep enough that several enumerations are open when the stop comes.
    std::wstring folder = folder_;
    for (int level = 0; level < 4; ++level) {
        folder += L"\\level" + std::to_wstring(level);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (int i = 0; i < 5; ++i)
            WriteBytes(folder + L"\\locked-f" + std::to_wstring(i) + L".bin.abcd",
                       LockedBytes(Layout::kPlain, RandomBytes(100, uint32_t(i))));
    }
    g_counters.folderMode = true;
    g_counters.totalBytes = 1048576;
    g_onShown = [] {
        if (ShownTexts().size() == 10 && g_shown.back().kind == Shown::kText)
            RequestStop();
    };
    EXPECT_EQ(Walk(folder_), RC_OK);
    // The 10th entry was handled in full; no 11th was begun.
    EXPECT_EQ(g_counters.entriesVisited, 10u);
    EXPECT_EQ(ShownTexts().size(), 10u);
    EXPECT_LE(g_counters.filesDecrypted, 8u);
    // Enumerations were closed: the tree can be removed at once.
    RemoveTree(folder_);
    EXPECT_FALSE(Exists(folder_));
}

std::wstring g_longFileShown; // the status text that names the long file
std::wstring g_longFileCopy;
bool g_namedBeforeItsCopy;

void NoteLongFileNamed()
{
    const Shown& shown = g_shown.back();
    if (shown.kind == Shown::kText && shown.text == g_longFileShown && !Exists(g_longFileCopy))
        g_namedBeforeItsCopy = true;
}

// An update held back by the pace would stay on screen for as long as a
// long copy takes, naming an earlier entry: the long file is named before
// its copy begins, in both kinds of scan, however little time has passed.
TEST_F(WalkTest, AFileThatTakesLongToCopyIsNamedBeforeItsCopy)
{
    WriteFiles(folder_, 5, 10);
    const std::wstring locked = folder_ + L"\\locked-big.bin.abcd";
    WriteBytes(locked, LockedBytes(Layout::kPlain, Bytes(16 << 20, 0x5A)));
    g_longFileShown = Plain(locked);
    g_longFileCopy = folder_ + L"\\big.bin";
    for (const bool folderMode : {true, false}) {
        SCOPED_TRACE(folderMode ? "folder scan" : "drive scan");
        g_counters = {};
        g_counters.folderMode = folderMode;
        g_counters.totalBytes = 1048576;
        g_clockStepMs = 0; // the clock stands still: every update but the first is held back
        g_namedBeforeItsCopy = false;
        g_onShown = NoteLongFileNamed;
        EXPECT_EQ(Walk(folder_), RC_OK);
        EXPECT_EQ(g_counters.filesDecrypted, 1u);
        EXPECT_TRUE(g_namedBeforeItsCopy);
        DeleteFileW(g_longFileCopy.c_str());
    }
}

// Which files count as long to copy, by their 64-bit size: each named
// before it is handed over, even when the display holds every other update
// back; and their bytes counted in full for the bar, past 4 GiB too, where
// the low 32 bits of the size alone would say 100 bytes.
TEST_F(WalkTest, FilesOf16MiBAndMoreAreNamedAndCountedByTheirFullSize)
{
    const struct {
        uint64_t size;
        bool named;
    } cases[] = {
        {(16 << 20) - 1, false},
        {16 << 20, true},
        {(uint64_t(4) << 30) + 100, true},
    };
    const Bytes head = RandomBytes(4096, 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes");
        // Two of them, sparse and not locked (nothing is copied): the second
        // is named with the bar at half.
        const std::wstring folder = folder_ + L"\\" + std::to_wstring(c.size);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        std::vector<std::wstring> paths;
        for (const wchar_t* name : {L"\\a.bin", L"\\b.bin"}) {
            ASSERT_TRUE(WriteHugePlainLocked(folder + name, c.size, head));
            paths.push_back(Plain(folder + name));
        }
        g_shown.clear();
        g_counters = {};
        g_clockStepMs = 0; // the clock stands still
        EXPECT_EQ(WalkAsDrive(folder, 2 * c.size), RC_OK);
        EXPECT_EQ(g_counters.processedBytes, 2 * c.size);
        std::vector<std::wstring> texts = ShownTexts();
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, c.named ? paths : std::vector<std::wstring>{});
        EXPECT_EQ(ShownPositions(), c.named ? std::vector<uint32_t>({0, 128}) : std::vector<uint32_t>());
        RemoveTree(folder);
    }
}

uint32_t g_clockReadings;
uint32_t g_stopAtReading;

// The test clock, which also raises the stop request at a given reading:
// the walk reads it once at every display update.
uint64_t ReadClockThatMayStop()
{
    if (++g_clockReadings == g_stopAtReading)
        RequestStop();
    return ReadTestClock();
}

// However fast the clock runs against the entries, the paced display sends
// no two texts or bar positions within 30 ms, but for a closing one
// that shows what was held back, and leaves the window as an update at every
// entry would leave it. The walk's counts do not change.
TEST_F(WalkTest, PacedDisplayKeepsTheIntervalAndEndsAsEveryUpdateWould)
{
    const GeneratedTree tree = GenerateTree(folder_, Layout::kPlain, 150, 31);
    const struct {
        bool folderMode;
        uint64_t stepMs;   // the clock's advance from one display update to the next
        uint32_t stopAt;   // the display update at which Exit is pressed (0: never)
    } cases[] = {
        {true, 0, 0},    // the whole walk within one interval
        {true, 1, 0},
        {true, 7, 0},
        {true, 29, 0},
        {true, 2, 77},
        {false, 0, 0},   // a drive scan: an update every 64 entries
        {false, 20, 0},
        {false, 20, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "folder mode " << c.folderMode << ", step "
                                        << c.stepMs << " ms, stop at " << c.stopAt);
        auto walk = [&](uint64_t stepMs) {
            for (const auto& output : tree.outputs) {
                const std::wstring path = folder_ + L"\\" + output.first;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
            g_shown.clear();
            g_counters = {};
            g_counters.folderMode = c.folderMode;
            g_counters.totalBytes = c.folderMode ? 1048576 : 100000;
            g_stopRequested = false;
            g_clockReadings = 0;
            g_stopAtReading = c.stopAt;
            g_displayClock = ReadClockThatMayStop;
            g_clockMs += 3600 * 1000;
            g_clockStepMs = stepMs;
            EXPECT_EQ(Walk(folder_), RC_OK);
            return std::make_pair(g_shown, g_counters);
        };
        const auto everyUpdate = walk(1000);
        const auto paced = walk(c.stepMs);

        const ScanCounters& a = everyUpdate.second;
        const ScanCounters& b = paced.second;
        EXPECT_EQ(a.entriesVisited, c.stopAt ? a.entriesVisited : uint32_t(tree.entries));
        EXPECT_EQ(b.entriesVisited, a.entriesVisited);
        EXPECT_EQ(b.filesSeen, a.filesSeen);
        EXPECT_EQ(b.filesDecrypted, a.filesDecrypted);
        EXPECT_EQ(b.processedBytes, a.processedBytes);
        for (const Shown::Kind kind : {Shown::kText, Shown::kPosition}) {
            std::vector<Shown> all, sent;
            for (const Shown& shown : everyUpdate.first)
                if (shown.kind == kind)
                    all.push_back(shown);
            for (const Shown& shown : paced.first)
                if (shown.kind == kind)
                    sent.push_back(shown);
            const uint32_t updates = c.folderMode ? a.entriesVisited : a.entriesVisited / 64;
            ASSERT_EQ(all.size(), updates);
            ASSERT_EQ(sent.empty(), all.empty());
            if (all.empty())
                continue;
            size_t tooSoon = 0;
            for (size_t i = 1; i + 1 < sent.size(); ++i)
                tooSoon += sent[i].atMs - sent[i - 1].atMs < 30;
            EXPECT_EQ(tooSoon, 0u) << "of " << sent.size();
            EXPECT_EQ(Narrow(sent.back().text), Narrow(all.back().text));
            EXPECT_EQ(sent.back().position, all.back().position);
        }
    }
}

} // namespace
