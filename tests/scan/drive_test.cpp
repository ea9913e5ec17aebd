// Drive scans, run by tools/scan-drive-tests.sh in a prefix of their own
// whose drive letters lead only to fixture folders (see the script for the
// letters). The fixtures are filled here, through the drive letters; the
// symbolic links of L: and the deep tree of P: are made by the script,
// because Wine 8 cannot make links and makes deep trees only slowly; the
// deep tree is there only for a run of the last test alone.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>

#include <gtest/gtest.h>

#include "core/state.h"
#include "scan/progress.h"
#include "scan/state.h"
#include "scan/walk.h"
#include "tests/scan/recorder.h"
#include "tests/support/tree.h"
#include "tests/support/driver.h"
#include "tests/ui/program.h"

namespace {

const wchar_t kLetters[] = L"ACDEFLPRT"; // every drive of the prefix
const wchar_t kScanned[] = L"ACDFLPRT";  // all but the optical drive E:

std::wstring Root(wchar_t letter) { return std::wstring(L"\\\\?\\") + letter + L":"; }

uint64_t UsedBytes(wchar_t letter)
{
    ULARGE_INTEGER available, total, free;
    const std::wstring root = Root(letter) + L"\\";
    EXPECT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free));
    return total.QuadPart - free.QuadPart;
}

// Entries below a folder as the walk counts them: links to folders count
// but are not followed.
size_t CountEntries(const std::wstring& folder)
{
    size_t count = 0;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        ++count;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            count += CountEntries(folder + L"\\" + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count;
}

// Removes everything in the folder (a drive's root) but the folder.
void EmptyFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        const std::wstring path = folder + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            EXPECT_TRUE(DeleteFileW(path.c_str())) << Narrow(path);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The letters of the drives in the order the status line showed them, each
// as users write a drive (X:\...).
std::wstring LettersShown()
{
    std::wstring letters;
    for (const std::wstring& text : ShownTexts()) {
        EXPECT_EQ(text.compare(1, 2, L":\\"), 0) << Narrow(text);
        const wchar_t letter = text.empty() ? L'?' : text[0];
        if (letters.empty() || letters.back() != letter)
            letters += letter;
    }
    return letters;
}

class DriveTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        // Never scan anything but the fixtures.
        DWORD expected = 0;
        for (const wchar_t* letter = kLetters; *letter; ++letter)
            expected |= 1u << (*letter - L'A');
        ASSERT_EQ(GetLogicalDrives(), expected)
            << "not the prefix of tools/scan-drive-tests.sh; refusing to scan";
        UseLayoutKey(Layout::kPlain);
    }
    void TearDown() override
    {
        for (const std::wstring& path : written_) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
        for (const wchar_t* letter = L"ADEFRT"; *letter; ++letter)
            EmptyFolder(Root(*letter));
        RecordingTest::TearDown();
    }

    // Writes a file that TearDown removes (for drives whose other contents,
    // made by the script, must stay).
    void Write(const std::wstring& path, const Bytes& bytes)
    {
        WriteBytes(path, bytes);
        written_.push_back(path);
    }

    // A locked file named locked-<tag>.txt.abcd in the folder; returns the
    // path of its decrypted copy and remembers both for removal.
    std::wstring WriteLocked(const std::wstring& folder, const std::wstring& tag)
    {
        Write(folder + L"\\locked-" + tag + L".txt.abcd",
              LockedBytes(Layout::kPlain, Original(tag)));
        written_.push_back(folder + L"\\" + tag + L".txt");
        return folder + L"\\" + tag + L".txt";
    }

    static Bytes Original(const std::wstring& tag)
    {
        return RandomBytes(5000 + tag.size() * 100, uint32_t(tag[0]) * 7 + uint32_t(tag.size()));
    }

    // count entries on the drive: count − 1 small files and one locked file.
    std::wstring Fill(wchar_t letter, size_t count)
    {
        for (size_t i = 0; i + 1 < count; ++i)
            Write(Root(letter) + L"\\f" + std::to_wstring(i), Bytes(10, uint8_t(i)));
        return WriteLocked(Root(letter), std::wstring(1, letter));
    }

    std::vector<std::wstring> written_;
};

TEST_F(DriveTest, ThePrefixHasOnlyTheFixtureDrivesWithTheirTypes)
{
    const struct { wchar_t letter; UINT type; } drives[] = {
        {L'A', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'D', DRIVE_FIXED}, {L'E', DRIVE_CDROM},
        {L'F', DRIVE_REMOTE},    {L'L', DRIVE_FIXED}, {L'P', DRIVE_FIXED}, {L'R', DRIVE_RAMDISK},
        {L'T', DRIVE_FIXED},
    };
    for (const auto& drive : drives) {
        const wchar_t root[] = {drive.letter, L':', L'\\', 0};
        EXPECT_EQ(GetDriveTypeW(root), drive.type) << char(drive.letter);
        // The device path opens (under Wine it tells no type: hence the
        // scan's second question with the root path).
        const wchar_t device[] = {L'\\', L'\\', L'.', L'\\', drive.letter, L':', 0};
        HANDLE volume = CreateFileW(device, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(volume, INVALID_HANDLE_VALUE) << char(drive.letter);
        CloseHandle(volume);
    }
    EXPECT_FALSE(Exists(L"Z:\\"));
}

// C: is walked once, in full; its other forms need only be taken for the
// drive, which the scan's set-up shows before a stop request ends it.
TEST_F(DriveTest, ArgumentFormsOfDriveCScanItAsADrive)
{
    for (const wchar_t* path : {L"C:\\", L"C:", L"C:/", L"C:\\\\\\", L"c:"}) {
        const bool walked = path[2] == L'\\' && !path[3];
        g_stopRequested = !walked;
        g_shown.clear();
        const uint64_t usedBefore = UsedBytes(L'C');
        EXPECT_EQ(ScanPath(path), RC_OK) << Narrow(path);
        const uint64_t usedAfter = UsedBytes(L'C');
        g_stopRequested = false;
        EXPECT_FALSE(g_counters.folderMode) << Narrow(path);
        // C: lies on the machine's disk, whose use others change meanwhile.
        EXPECT_GE(g_counters.totalBytes + (1u << 30), std::min(usedBefore, usedAfter));
        EXPECT_LE(g_counters.totalBytes, std::max(usedBefore, usedAfter) + (1u << 30));
        ASSERT_FALSE(g_shown.empty()) << Narrow(path);
        EXPECT_EQ(g_shown[0].kind, Shown::kPosition);
        EXPECT_EQ(g_shown[0].position, 0u);
        if (!walked)
            continue;
        const std::vector<std::wstring> texts = ShownTexts();
        // One update per 64 entries, and one more before each file long
        // to copy (C: holds some of Wine's large DLLs).
        EXPECT_GE(texts.size(), g_counters.entriesVisited / 64);
        EXPECT_GT(texts.size(), 5u);
        for (const std::wstring& text : texts)
            EXPECT_EQ(_wcsnicmp(text.c_str(), L"C:\\", 3), 0) << Narrow(text);
    }
}

TEST_F(DriveTest, ArgumentFormsOfDriveDScanItAsADrive)
{
    Fill(L'D', 70);
    unsigned scans = 0;
    for (const wchar_t* path : {L"\\\\?\\D:", L"\\\\.\\D:\\", L"\\\\?\\D:\\", L"\\\\.\\D:", L"D:", L"d:\\"}) {
        g_shown.clear();
        ++scans;
        EXPECT_EQ(ScanPath(path), RC_OK) << Narrow(path);
        EXPECT_FALSE(g_counters.folderMode);
        EXPECT_EQ(g_counters.entriesVisited, 70u + scans - 1); // one more copy each time
        EXPECT_EQ(g_counters.filesDecrypted, scans);
        const std::vector<std::wstring> texts = ShownTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(_wcsnicmp(texts[0].c_str(), L"D:\\", 3), 0) << Narrow(texts[0]);
    }
    EXPECT_TRUE(Exists(Root(L'D') + L"\\D.txt"));
    EXPECT_TRUE(Exists(Root(L'D') + L"\\D.decrypted05.txt"));
}

TEST_F(DriveTest, FolderOnADriveWithATrailingSeparatorIsAFolderScan)
{
    Fill(L'D', 3);
    const std::wstring photos = Root(L'D') + L"\\photos";
    ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
    const std::wstring copy = WriteLocked(photos, L"holiday");
    EXPECT_EQ(ScanPath(L"D:\\photos\\"), RC_OK);
    EXPECT_TRUE(g_counters.folderMode);
    EXPECT_EQ(g_counters.filesDecrypted, 1u);
    EXPECT_EQ(ReadBytes(copy), Original(L"holiday"));
    EXPECT_FALSE(Exists(Root(L'D') + L"\\D.txt")); // only the folder was scanned
    const std::vector<std::wstring> texts = ShownTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], L"D:\\photos\\*.*");
}

// One layout here and the other in the folder scan's tree test: the walk
// does not depend on the layout, nor the decryption on the kind of scan.
TEST_F(DriveTest, TreeInTheTrailerLayoutScannedAsADrive)
{
    const std::wstring root = Root(L'D');
    UseLayoutKey(Layout::kTrailer);
    const GeneratedTree tree = GenerateTree(root, Layout::kTrailer, 3000, 4000);
    const Snapshot before = TakeSnapshot(root);
    ASSERT_EQ(before.size(), tree.files);

    EXPECT_EQ(ScanPath(L"D:\\"), RC_OK);

    EXPECT_FALSE(g_counters.folderMode);
    EXPECT_EQ(g_counters.filesDecrypted, tree.outputs.size());
    EXPECT_GT(tree.outputs.size(), 900u);
    EXPECT_GE(g_counters.entriesVisited, tree.entries);
    EXPECT_LE(g_counters.entriesVisited, tree.entries + tree.outputs.size());
    EXPECT_EQ(ShownTexts().size(), g_counters.entriesVisited / 64);
    ExpectOnlyOutputsAdded(before, TakeSnapshot(root), tree.outputs);
}

TEST_F(DriveTest, OpticalDriveIsSkipped)
{
    const std::wstring copy = Fill(L'E', 70);
    EXPECT_EQ(ScanDrive(L'E'), RC_DRIVE_SKIPPED);
    EXPECT_EQ(ScanPath(L"E:\\"), RC_DRIVE_SKIPPED);
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ(g_counters.entriesVisited, 0u);
    EXPECT_FALSE(Exists(copy));
    // A folder on it is scanned like any folder: only whole drives are skipped.
    EXPECT_EQ(ScanPath(L"E:\\."), RC_OK);
    EXPECT_TRUE(Exists(copy));
}

TEST_F(DriveTest, DrivesOfEveryOtherTypeAreScanned)
{
    for (const wchar_t* letter = L"ADFRT"; *letter; ++letter) {
        const std::wstring copy = Fill(*letter, 5);
        EXPECT_EQ(ScanDrive(*letter), RC_OK) << char(*letter);
        EXPECT_EQ(ReadBytes(copy), Original(std::wstring(1, *letter))) << char(*letter);
    }
    EXPECT_EQ(g_counters.filesDecrypted, 5u);
}

TEST_F(DriveTest, MissingDriveIsSkipped)
{
    EXPECT_EQ(ScanDrive(L'Q'), RC_DRIVE_SKIPPED);
    EXPECT_EQ(ScanPath(L"\\\\?\\Z:"), RC_DRIVE_SKIPPED);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(DriveTest, StopRequestedScansNoDrive)
{
    const std::wstring copy = Fill(L'D', 3);
    g_stopRequested = true;
    EXPECT_EQ(ScanAllDrives(), RC_OK);
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ(ScanDrive(L'D'), RC_OK); // set up, then stopped before the first entry
    EXPECT_EQ(g_counters.entriesVisited, 0u);
    EXPECT_FALSE(Exists(copy));
}

std::vector<uint64_t> g_processedAtPosition;

void RecordProcessed()
{
    if (g_shown.back().kind == Shown::kPosition)
        g_processedAtPosition.push_back(g_counters.processedBytes);
}

TEST_F(DriveTest, UsedSpaceIsTheDenominator)
{
    if (std::getenv("FELNOX_PRIVATE_T") == nullptr || std::strcmp(std::getenv("FELNOX_PRIVATE_T"), "1"))
        GTEST_SKIP() << "T: is no private tmpfs here (mount was not allowed)";
    // Empty files and folders take no space on tmpfs: 0 bytes in use, so a
    // denominator of 1, and the bar at 0 while no byte was seen.
    for (int i = 0; i < 60; ++i)
        Write(Root(L'T') + L"\\empty" + std::to_wstring(i), Bytes());
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(CreateDirectoryW((Root(L'T') + L"\\dir" + std::to_wstring(i)).c_str(), nullptr));
    ASSERT_EQ(UsedBytes(L'T'), 0u);
    EXPECT_EQ(ScanDrive(L'T'), RC_OK);
    EXPECT_EQ(g_counters.totalBytes, 1u);
    EXPECT_EQ(ShownPositions(), (std::vector<uint32_t>{0, 0}));

    // With files in it: the bytes in use, as the volume reports them.
    for (int i = 0; i < 200; ++i)
        Write(Root(L'T') + L"\\dir" + std::to_wstring(i % 10) + L"\\file" + std::to_wstring(i),
              RandomBytes(10000, uint32_t(i)));
    const uint64_t used = UsedBytes(L'T');
    ASSERT_GE(used, 200u * 10000);
    g_shown.clear();
    g_processedAtPosition.clear();
    g_onShown = RecordProcessed;
    EXPECT_EQ(ScanDrive(L'T'), RC_OK);
    EXPECT_EQ(g_counters.totalBytes, used);
    EXPECT_EQ(g_counters.processedBytes, 200u * 10000);
    const std::vector<uint32_t> positions = ShownPositions();
    ASSERT_EQ(positions.size(), 1 + 270 / 64u);
    for (size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], DriveBarPosition(g_processedAtPosition[i], used));
    EXPECT_GT(positions.back(), 0u);
}

TEST_F(DriveTest, AllDrivesAreScannedFromAToZWithoutTheOpticalOne)
{
    std::vector<std::wstring> copies;
    for (const wchar_t* letter = L"ADFLPRT"; *letter; ++letter)
        copies.push_back(Fill(*letter, 70));
    const std::wstring optical = Fill(L'E', 70);
    const uint32_t decrypted = g_counters.filesDecrypted;

    EXPECT_EQ(ScanAllDrives(), RC_OK);

    EXPECT_EQ(LettersShown(), kScanned);
    for (const std::wstring& copy : copies)
        EXPECT_EQ(ReadBytes(copy), Original(copy.substr(4, 1))) << Narrow(copy);
    EXPECT_FALSE(Exists(optical));
    // Each drive scan begins with the bar at 0.
    size_t starts = 0;
    for (size_t i = 0; i < g_shown.size(); ++i)
        starts += g_shown[i].kind == Shown::kPosition && g_shown[i].position == 0 &&
                  (i == 0 || g_shown[i - 1].kind == Shown::kPosition);
    EXPECT_GE(starts, wcslen(kScanned));
    EXPECT_GE(g_counters.filesDecrypted - decrypted, copies.size());
}

// The real program, given two arguments, scans every drive: the script puts
// it at C:\felnox1decrypt.exe, and its key beside it.
TEST_F(DriveTest, ProgramGivenTwoArgumentsScansEveryDrive)
{
    std::vector<std::wstring> copies;
    for (const wchar_t* letter = L"ADFRT"; *letter; ++letter)
        copies.push_back(WriteLocked(Root(*letter), std::wstring(1, *letter)));
    const std::wstring optical = WriteLocked(Root(L'E'), L"E");
    Write(L"C:\\felnox1.key", Bytes(g_key.keystream, g_key.keystream + 4096));

    uidriver::Process program;
    ASSERT_TRUE(program.Start(L"C:\\felnox1decrypt.exe", L"D:\\ E:\\", L"C:\\"));
    HWND window = uidriver::WaitForWindow(program.id(), kTitle, 30000);
    ASSERT_TRUE(window);
    ASSERT_TRUE(uidriver::ClickButton(window, 1000));
    HWND box = uidriver::WaitForMessageBox(program.id(), L"Felnox1decrypt", 30000);
    ASSERT_TRUE(box);
    EXPECT_EQ(Narrow(uidriver::GetMessageBoxText(box)),
              "Would you like to use file <C:\\felnox1.key> as a key?");
    ASSERT_TRUE(uidriver::ClickButton(box, IDYES));
    ASSERT_TRUE(uidriver::WaitForWindowClosed(box, 30000));
    box = uidriver::WaitForMessageBox(program.id(), L"Felnox1decrypt", 120000);
    ASSERT_TRUE(box);
    EXPECT_EQ(Narrow(uidriver::GetMessageBoxText(box)), "Decrypted files total: 5.");
    ASSERT_TRUE(uidriver::ClickButton(box, IDOK));
    ASSERT_TRUE(uidriver::WaitForWindowClosed(box, 30000));
    ASSERT_TRUE(uidriver::ClickButton(window, 1001));
    EXPECT_TRUE(program.WaitForExit(30000));

    for (const std::wstring& copy : copies)
        EXPECT_EQ(ReadBytes(copy), Original(copy.substr(4, 1))) << Narrow(copy);
    EXPECT_FALSE(Exists(optical));
}

// Runs C:\felnox1decrypt.exe (its key beside it) with the raw command line,
// accepts the key and gives the final count's text; the program has ended.
std::string RunProgram(const std::wstring& commandLine)
{
    uidriver::Process program;
    if (!program.Start(L"C:\\felnox1decrypt.exe", commandLine, L"C:\\"))
        return "not started";
    HWND window = uidriver::WaitForWindow(program.id(), L"Felnox1 Decryptor 1.0.2.4", 30000);
    if (!window || !uidriver::ClickButton(window, 1000))
        return "no window";
    HWND box = uidriver::WaitForMessageBox(program.id(), L"Felnox1decrypt", 30000);
    if (!box || !uidriver::ClickButton(box, IDYES) || !uidriver::WaitForWindowClosed(box, 30000))
        return "no key question";
    box = uidriver::WaitForMessageBox(program.id(), L"Felnox1decrypt", 120000);
    const std::string text = box ? Narrow(uidriver::GetMessageBoxText(box)) : "no final count";
    if (box)
        uidriver::ClickButton(box, IDOK);
    uidriver::WaitForWindowClosed(box, 30000);
    uidriver::ClickButton(window, 1001);
    EXPECT_TRUE(program.WaitForExit(30000));
    return text;
}

// Shortcuts and batch files quote a drive or folder that ends in '\'
// ("D:\", "%~dp0"), which the program receives as D:" and D:\My Files".
// Each scans what it names: the drive as a drive, the folder alone.
TEST_F(DriveTest, QuotedArgumentsEndingInABackslashScanWhatTheyName)
{
    ASSERT_TRUE(CreateDirectoryW((Root(L'D') + L"\\My Files").c_str(), nullptr));
    const std::wstring rootCopy = WriteLocked(Root(L'D'), L"root");
    const std::wstring folderCopy = WriteLocked(Root(L'D') + L"\\My Files", L"folder");
    Write(L"C:\\felnox1.key", Bytes(g_key.keystream, g_key.keystream + 4096));
    const struct {
        const wchar_t* commandLine;
        const char* count;
        bool rootDecrypted;
    } cases[] = {
        {L"\"D:\\My Files\\\"", "Decrypted files total: 1.", false},
        {L"\"D:\\\"", "Decrypted files total: 2.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        EXPECT_EQ(RunProgram(c.commandLine), c.count);
        EXPECT_EQ(ReadBytes(folderCopy), Original(L"folder"));
        EXPECT_EQ(Exists(rootCopy), c.rootDecrypted);
        DeleteFileW(folderCopy.c_str());
        DeleteFileW(rootCopy.c_str());
    }
}

// L:\tree holds links to itself, to its parent and to its grandparent;
// L:\other holds a link to the drive's root.
class LinkTest : public DriveTest {
protected:
    void SetUp() override
    {
        DriveTest::SetUp();
        for (const wchar_t* folder : {L"\\tree", L"\\tree\\a", L"\\tree\\a\\b", L"\\tree\\a\\b\\c", L"\\other"})
            copies_.push_back(WriteLocked(Root(L'L') + folder, std::wstring(L"in") + (wcsrchr(folder, L'\\') + 1)));
        for (const wchar_t* link : {L"\\tree\\self", L"\\tree\\a\\up", L"\\tree\\a\\b\\c\\back", L"\\other\\root"}) {
            const DWORD attributes = GetFileAttributesW((Root(L'L') + link).c_str());
            ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << Narrow(link);
            ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << Narrow(link);
        }
    }

    // Each copy written once: none of them numbered.
    void ExpectEachDecryptedOnce(size_t count)
    {
        for (size_t i = 0; i < copies_.size(); ++i)
            EXPECT_EQ(Exists(copies_[i]), i < count) << Narrow(copies_[i]);
        for (const auto& entry : TakeSnapshot(Root(L'L')))
            EXPECT_EQ(entry.first.find(L".decrypted"), std::wstring::npos) << Narrow(entry.first);
    }

    std::vector<std::wstring> copies_;
};

TEST_F(LinkTest, FolderScanThroughLoopsEndsAndDecryptsEachFileOnce)
{
    const size_t entries = CountEntries(Root(L'L') + L"\\tree");
    EXPECT_EQ(ScanPath(L"L:\\tree"), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 4u);
    EXPECT_EQ(g_counters.entriesVisited, entries);
    ExpectEachDecryptedOnce(4);
    for (const std::wstring& text : ShownTexts())
        for (const wchar_t* link : {L"\\self\\", L"\\up\\", L"\\back\\"})
            EXPECT_EQ(text.find(link), std::wstring::npos) << Narrow(text);
}

TEST_F(LinkTest, DriveScanThroughLoopsEndsAndDecryptsEachFileOnce)
{
    const size_t entries = CountEntries(Root(L'L'));
    EXPECT_EQ(ScanDrive(L'L'), RC_OK);
    EXPECT_EQ(g_counters.filesDecrypted, 5u);
    EXPECT_EQ(g_counters.entriesVisited, entries);
    ExpectEachDecryptedOnce(5);
}

// Above the scanned folder: its parent, below the drive's root
// (L:\tree\a\up leads to L:\tree), and the drive's root itself
// (L:\other\root). Followed, either would walk the scanned folder again
// below itself and number a second copy of each of its files.
TEST_F(LinkTest, ALinkToAFolderAboveTheScannedFolderIsNotFollowed)
{
    const struct {
        const wchar_t* folder;
        std::vector<size_t> decrypted; // of copies_: tree, a, b, c, other
        uint32_t entries;
    } cases[] = {
        // ina, up, b, inb, c, inc, back: each locked file and link once.
        {L"\\\\?\\L:\\tree\\a", {1, 2, 3}, 7},
        {L"\\\\?\\L:\\other", {4}, 2}, // inother and root
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.folder));
        g_counters = {};
        EXPECT_EQ(ScanPath(c.folder), RC_OK);
        EXPECT_EQ(g_counters.filesDecrypted, c.decrypted.size());
        EXPECT_EQ(g_counters.entriesVisited, c.entries);
        for (size_t i = 0; i < copies_.size(); ++i) {
            const bool expected = std::find(c.decrypted.begin(), c.decrypted.end(), i) != c.decrypted.end();
            EXPECT_EQ(Exists(copies_[i]), expected) << Narrow(copies_[i]);
            if (expected)
                DeleteFileW(copies_[i].c_str());
        }
        for (const auto& entry : TakeSnapshot(Root(L'L')))
            EXPECT_EQ(entry.first.find(L".decrypted"), std::wstring::npos) << Narrow(entry.first);
    }
}

// The stack a piece of work uses on a thread of its own, measured by
// painting the free stack below the thread's frame before the work and
// finding afterwards how far down the paint was overwritten.
const size_t kPainted = 768 * 1024;
uint8_t* g_paintBottom;
void (*g_work)();

__attribute__((noinline)) void Paint()
{
    uint8_t* area = static_cast<uint8_t*>(__builtin_alloca(kPainted));
    memset(area, 0xA5, kPainted);
    g_paintBottom = area;
    asm volatile("" : : "r"(area) : "memory");
}

DWORD WINAPI MeasureThread(void* used)
{
    Paint();
    g_work();
    size_t untouched = 0;
    while (untouched < kPainted && g_paintBottom[untouched] == 0xA5)
        ++untouched;
    *static_cast<size_t*>(used) = kPainted - untouched;
    return 0;
}

size_t StackUsedBy(void (*work)())
{
    g_work = work;
    size_t used = 0;
    HANDLE thread = CreateThread(nullptr, 8u << 20, MeasureThread, &used,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    EXPECT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return used;
}

TEST_F(DriveTest, DeepestTreeWineCanHoldIsWalkedWithoutGrowingTheStack)
{
    // The chain P:\dddd\dddd\... goes on past what Wine can reach; find the
    // deepest folder it reaches (Linux allows 4096 bytes for the path Wine
    // makes of it).
    std::wstring name;
    {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((Root(L'P') + L"\\*").c_str(), &entry);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do
            name = entry.cFileName;
        while ((name == L"." || name == L"..") && FindNextFileW(find, &entry));
        FindClose(find);
    }
    std::vector<std::wstring> levels = {Root(L'P')};
    while (GetFileAttributesW((levels.back() + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES)
        levels.push_back(levels.back() + L"\\" + name);
    const size_t depth = levels.size() - 1;
    ASSERT_GT(depth, 4000 / (name.size() + 1) - 40) << "fewer levels than Wine can hold";
    std::printf("deep tree: %zu levels of %zu-character names, deepest path %zu characters\n",
                depth, name.size(), levels.back().size());

    // Locked files near the top, in the middle and as deep as a file fits.
    const std::wstring tag = L"z";
    size_t deepest = depth;
    while (deepest > 0 && !CreateDirectoryW((levels[deepest] + L"\\locked-z.x.abcd.probe").c_str(), nullptr))
        --deepest;
    RemoveDirectoryW((levels[deepest] + L"\\locked-z.x.abcd.probe").c_str());
    std::vector<std::wstring> copies;
    for (size_t level : {size_t(1), depth / 2, deepest}) {
        Write(levels[level] + L"\\locked-z.x.abcd", LockedBytes(Layout::kPlain, Original(tag)));
        written_.push_back(levels[level] + L"\\z.x");
        copies.push_back(levels[level] + L"\\z.x");
    }

    // The measure sees stack that is used: 64 KiB of it here.
    const size_t probe = StackUsedBy([] {
        volatile uint8_t* area = static_cast<uint8_t*>(__builtin_alloca(65536));
        for (size_t i = 0; i < 65536; i += 512)
            area[i] = 0;
    });
    EXPECT_GE(probe, 65536u);
    EXPECT_LT(probe, 65536u + 8192);

    // The same walk on a flat drive, for comparison.
    Fill(L'D', 5);
    const size_t flat = StackUsedBy([] { ScanDrive(L'D'); });
    g_counters.filesDecrypted = 0;
    const size_t deep = StackUsedBy([] { ScanDrive(L'P'); });
    std::printf("stack used: %zu bytes for a flat drive, %zu bytes for the deep one\n", flat, deep);
    EXPECT_LT(deep, kPainted);
    EXPECT_LE(deep, flat + 8192);

    EXPECT_EQ(g_counters.filesDecrypted, 3u);
    EXPECT_GE(g_counters.entriesVisited, depth + 3);
    for (const std::wstring& copy : copies)
        EXPECT_EQ(ReadBytes(copy), Original(tag)) << copy.size();
}

} // namespace
