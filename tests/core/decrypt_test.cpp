#include <windows.h>

#include <atomic>
#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "core/decrypt.h"
#include "core/key.h"
#include "core/names.h"
#include "core/state.h"
#include "tests/support/imports.h"
#include "tests/support/huge.h"
#include "tests/support/locker.h"

namespace {

const uint32_t kHead = 20000; // head length of the trailer-layout tests

class DecryptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder(L"decrypt");
        keystream_ = RandomBytes(32768, 100);
        body_ = RandomBytes(200, 101);
    }
    void TearDown() override { RemoveTree(folder_); }

    void UsePlainKey() { UseKey(KeyFileFormB(keystream_)); }
    void UseTrailerKey(uint32_t head = kHead) { UseKey(KeyFileFormA(keystream_, head, body_)); }
    void UseKey(const Bytes& file)
    {
        ASSERT_EQ(ParseKeyFile(file.data(), uint32_t(file.size()), &g_key), RC_OK);
    }

    std::wstring In(const std::wstring& name) const { return folder_ + L"\\" + name; }
    Status Decrypt(const std::wstring& name) const
    {
        return DecryptLockedFile(In(name).c_str(), uint32_t(folder_.size() + 1));
    }

    std::wstring folder_;
    Bytes keystream_;
    Bytes body_;
};

std::vector<size_t> InterestingSizes(uint32_t seed, size_t count)
{
    std::vector<size_t> sizes = {1,    2,     4095,  4096,  4097,  8191,  kHead - 1,
                                 kHead, kHead + 1, 16896, 32768, 65536, 65537, 3u << 20};
    std::mt19937 random(seed);
    while (sizes.size() < count) {
        const int bits = int(random() % 22); // up to 4 MiB, most of them small
        sizes.push_back(random() % ((size_t(1) << bits) + 1));
    }
    return sizes;
}

TEST_F(DecryptTest, PlainLayoutRoundTripsManyFiles)
{
    UsePlainKey();
    const std::vector<size_t> sizes = InterestingSizes(1, 200);
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] == 0)
            continue; // an empty locked file holds nothing to decrypt (tested below)
        const std::wstring name = L"file" + std::to_wstring(i) + L".bin";
        const Bytes original = RandomBytes(sizes[i], uint32_t(i));
        const std::wstring locked = WritePlainLocked(folder_, name, original, keystream_);
        const Bytes lockedBytes = ReadBytes(locked);

        ASSERT_EQ(Decrypt(L"locked-" + name + L".abcd"), RC_OK) << sizes[i];
        EXPECT_EQ(ReadBytes(In(name)), original) << "size " << sizes[i];
        EXPECT_EQ(ReadBytes(locked), lockedBytes) << "locked file changed";
    }
}

TEST_F(DecryptTest, TrailerLayoutRoundTripsManyFiles)
{
    UseTrailerKey();
    const std::vector<size_t> sizes = InterestingSizes(2, 200);
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::wstring name = L"file" + std::to_wstring(i) + L".bin";
        const Bytes original = RandomBytes(sizes[i], uint32_t(i));
        const Bytes locked = LockWithTrailer(original, keystream_, kHead, body_);
        WriteBytes(In(name), locked);

        ASSERT_EQ(Decrypt(name), RC_OK) << sizes[i];
        EXPECT_EQ(ReadBytes(In(L"file" + std::to_wstring(i) + L".decrypted01.bin")), original)
            << "size " << sizes[i];
        EXPECT_EQ(ReadBytes(In(name)), locked) << "locked file changed";
    }
}

TEST_F(DecryptTest, EachFileMayAnnounceItsOwnHeadLength)
{
    UseTrailerKey(32768);
    for (uint32_t head : {4u, 4096u, 32768u}) {
        const Bytes original = RandomBytes(50000, head);
        WriteBytes(In(L"doc"), LockWithTrailer(original, keystream_, head, body_));
        ASSERT_EQ(Decrypt(L"doc"), RC_OK);
        EXPECT_EQ(ReadBytes(In(L"doc.decrypted01")), original) << head;
        DeleteFileW(In(L"doc.decrypted01").c_str());
    }
}

TEST_F(DecryptTest, NumbersCopiesUntilNinetyEightAndThenRefuses)
{
    UsePlainKey();
    const Bytes original = RandomBytes(10000, 3);
    WritePlainLocked(folder_, L"report.doc", original, keystream_);
    WriteBytes(In(L"report.doc"), Bytes{1, 2, 3});

    for (int copy = 1; copy <= 98; ++copy) {
        ASSERT_EQ(Decrypt(L"locked-report.doc.abcd"), RC_OK) << copy;
        wchar_t name[64];
        wsprintfW(name, L"report.decrypted%02d.doc", copy);
        ASSERT_EQ(ReadBytes(In(name)), original) << copy;
    }
    const size_t before = ListFolder(folder_).size();
    EXPECT_EQ(Decrypt(L"locked-report.doc.abcd"), RC_FAILED);
    EXPECT_EQ(ListFolder(folder_).size(), before);
    EXPECT_EQ(ReadBytes(In(L"report.doc")), (Bytes{1, 2, 3})) << "an existing file was overwritten";
}

TEST_F(DecryptTest, NamesWithoutADotGetTheCounterAtTheirEnd)
{
    UseTrailerKey();
    const Bytes original = RandomBytes(30000, 4);
    WriteBytes(In(L"README"), LockWithTrailer(original, keystream_, kHead, body_));
    ASSERT_EQ(Decrypt(L"README"), RC_OK);
    ASSERT_EQ(Decrypt(L"README"), RC_OK); // a second scan never overwrites the first copy
    EXPECT_EQ(ReadBytes(In(L"README.decrypted01")), original);
    EXPECT_EQ(ReadBytes(In(L"README.decrypted02")), original);
}

TEST_F(DecryptTest, PlainLayoutTakesOnlyLockedNames)
{
    UsePlainKey();
    const Bytes original = RandomBytes(5000, 5);
    struct Case {
        const wchar_t* locked;
        const wchar_t* output; // nullptr: refused by its name
    };
    const Case cases[] = {
        {L"locked-a.abcd", L"a"},
        {L"locked-x.docx.zzzz", L"x.docx"},
        {L"locked-.abcd", nullptr},
        {L"Locked-x.doc.abcd", nullptr},
        {L"x.doc", nullptr},
    };
    for (const Case& c : cases) {
        WriteBytes(In(c.locked), LockPlain(original, keystream_));
        const Status status = Decrypt(c.locked);
        if (c.output) {
            EXPECT_EQ(status, RC_OK) << Narrow(c.locked);
            EXPECT_EQ(ReadBytes(In(c.output)), original) << Narrow(c.locked);
        } else {
            EXPECT_EQ(status, RC_NOT_LOCKED_NAME) << Narrow(c.locked);
        }
    }
    EXPECT_EQ(ListFolder(folder_).size(), 7u) << "refused names left output behind";
}

TEST_F(DecryptTest, TrailerLayoutLeavesOtherFilesAlone)
{
    UseTrailerKey();
    const Bytes original = RandomBytes(30000, 6);
    Bytes otherBody = body_;
    otherBody[17] ^= 1;
    Bytes badHead = LockWithTrailer(original, keystream_, kHead, body_);
    const Bytes hugeHead = Footer(uint32_t(body_.size()), kMaxHeadLength + 1);
    std::copy(hugeHead.begin(), hugeHead.end(), badHead.end() - 16);

    const std::pair<const wchar_t*, Bytes> files[] = {
        {L"plain.txt", original},
        {L"other-body.bin", LockWithTrailer(original, keystream_, kHead, otherBody)},
        {L"huge-head.bin", badHead},
        {L"short.bin", Bytes(body_.begin(), body_.begin() + 100)},
        {L"empty.bin", Bytes()},
    };
    for (const auto& file : files) {
        WriteBytes(In(file.first), file.second);
        EXPECT_EQ(Decrypt(file.first), RC_FAILED) << Narrow(file.first);
        EXPECT_EQ(ReadBytes(In(file.first)), file.second);
    }
    EXPECT_EQ(ListFolder(folder_).size(), 5u) << "a skipped file left output behind";
}

TEST_F(DecryptTest, SkipsHeadsLongerThanTheKeystream)
{
    UseTrailerKey(10000);
    const Bytes original = RandomBytes(30000, 7);
    WriteBytes(In(L"long-head.bin"), LockWithTrailer(original, keystream_, 10001, body_));
    EXPECT_EQ(Decrypt(L"long-head.bin"), RC_FAILED);
    EXPECT_EQ(ListFolder(folder_).size(), 1u);
}

// A key whose reference trailer is shorter than 20 bytes (a body of fewer
// than 4) decrypts nothing, not even files that end in that very trailer.
TEST_F(DecryptTest, AReferenceTrailerBelowTwentyBytesDecryptsNothing)
{
    const Bytes original = RandomBytes(30000, 8);
    for (uint32_t bodyLength : {0u, 3u, 4u}) {
        const Bytes body(body_.begin(), body_.begin() + bodyLength);
        UseKey(KeyFileFormA(keystream_, kHead, body));
        const std::wstring name = L"doc" + std::to_wstring(bodyLength);
        WriteBytes(In(name), LockWithTrailer(original, keystream_, kHead, body));
        EXPECT_EQ(Decrypt(name), bodyLength < 4 ? RC_FAILED : RC_OK) << bodyLength;
        EXPECT_EQ(Exists(In(name + L".decrypted01")), bodyLength >= 4) << bodyLength;
    }
}

TEST_F(DecryptTest, EmptyPlainLockedFileIsNotDecrypted)
{
    UsePlainKey();
    WriteBytes(In(L"locked-empty.txt.abcd"), Bytes());
    EXPECT_EQ(Decrypt(L"locked-empty.txt.abcd"), RC_FAILED);
    EXPECT_EQ(ListFolder(folder_).size(), 1u);
}

TEST_F(DecryptTest, FullDiskLeavesNoOutputBehind)
{
    // The test script mounts a file system of a few MiB: the output file can
    // be created, but the copy of a locked file of 2.5 MiB cannot complete.
    wchar_t disk[MAX_PATH];
    if (!GetEnvironmentVariableW(L"FELNOX_SMALL_DISK", disk, MAX_PATH))
        GTEST_SKIP() << "no small file system (FELNOX_SMALL_DISK) to fill";
    const std::wstring folder = std::wstring(disk) + L"\\decrypt-full";
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    UsePlainKey();
    const Bytes original = RandomBytes(5 << 19, 8);
    const std::wstring locked = WritePlainLocked(folder, L"big.doc", original, keystream_);
    const Bytes lockedBytes = ReadBytes(locked);

    EXPECT_EQ(DecryptLockedFile(locked.c_str(), uint32_t(folder.size() + 1)), RC_FAILED);
    EXPECT_FALSE(Exists(folder + L"\\big.doc")) << "a half-written copy was left under the final name";
    EXPECT_EQ(ReadBytes(locked), lockedBytes);
    RemoveTree(folder);
}

TEST_F(DecryptTest, ACopyLeftUnderItsTemporaryNameIsNeverDecrypted)
{
    // A run killed between the copy and the cut leaves a locked file's bytes,
    // trailer and all, under the temporary name.
    // Earlier versions named it "~felnox1-" and four hex digits.
    UseTrailerKey();
    const Bytes leftover = LockWithTrailer(RandomBytes(30000, 9), keystream_, kHead, body_);
    wchar_t name[32];
    ASSERT_EQ(FormatTemporaryName(name, 32, 0xBEEF, 15), size_t(kTemporaryNameLength));
    for (const std::wstring& left : {std::wstring(name), std::wstring(L"~felnox1-0bef")}) {
        WriteBytes(In(left), leftover);
        EXPECT_EQ(Decrypt(left), RC_NOT_LOCKED_NAME) << Narrow(left);
    }
    EXPECT_EQ(ListFolder(folder_).size(), 2u);
}

TEST_F(DecryptTest, NameOffsetOutsideThePathIsRefusedBeforeTheNameIsRead)
{
    UsePlainKey();
    const std::wstring path = In(L"locked-a.txt.abcd");
    WriteBytes(path, LockPlain(RandomBytes(5000, 10), keystream_));
    for (uint32_t offset : {uint32_t(path.size()), uint32_t(path.size() + 1), 0xFFFFFFF0u})
        EXPECT_EQ(DecryptLockedFile(path.c_str(), offset), RC_FAILED) << offset;
    EXPECT_EQ(ListFolder(folder_).size(), 1u);
}

TEST_F(DecryptTest, CopyShowsTheLockedFilesAttributesButNeverHiddenOrSystem)
{
    UsePlainKey();
    const DWORD hidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (DWORD attributes : {DWORD(0), DWORD(FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_HIDDEN),
                             DWORD(FILE_ATTRIBUTE_SYSTEM), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                             hidden}) {
        const Bytes original = RandomBytes(9000, attributes);
        const std::wstring locked = WritePlainLocked(folder_, L"a.doc", original, keystream_);
        ASSERT_TRUE(SetFileAttributesW(locked.c_str(), attributes | FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_EQ(Decrypt(L"locked-a.doc.abcd"), RC_OK) << attributes;
        EXPECT_EQ(ReadBytes(In(L"a.doc")), original);
        EXPECT_EQ(GetFileAttributesW(In(L"a.doc").c_str()) & hidden, attributes & FILE_ATTRIBUTE_READONLY)
            << attributes;
        EXPECT_EQ(ListFolder(folder_).size(), 2u) << "the temporary copy was left";
        for (const std::wstring& name : ListFolder(folder_)) {
            SetFileAttributesW(In(name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(In(name).c_str());
        }
    }
}

TEST_F(DecryptTest, TemporaryNamesTakenOrAMoveRefusedLeaveNothingOfTheCopy)
{
    UsePlainKey();
    const Bytes original = RandomBytes(9000, 11);
    struct Case {
        const char* what;
        uint32_t temporariesTaken; // from this process's own first name on
        bool outputsTaken;         // the name itself and all 98 numbered names
        DWORD lockedAttributes;
        Status expected;
    };
    const Case cases[] = {
        {"first temporary name taken", 1, false, 0, RC_OK},
        {"all 16 temporary names taken", 16, false, 0, RC_FAILED},
        {"read-only copy whose move is refused", 0, true, FILE_ATTRIBUTE_READONLY, RC_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring locked = WritePlainLocked(folder_, L"a.doc", original, keystream_);
        SetFileAttributesW(locked.c_str(), c.lockedAttributes);
        for (uint32_t i = 0; i < c.temporariesTaken; ++i) {
            wchar_t name[32];
            FormatTemporaryName(name, 32, GetCurrentProcessId(), i);
            WriteBytes(In(name), Bytes{1});
        }
        for (unsigned copy = 0; c.outputsTaken && copy <= kMaxCopyNumber; ++copy) {
            wchar_t name[64];
            FormatOutputName(name, 64, L"a.doc", 5, copy);
            WriteBytes(In(name), Bytes{2});
        }
        const std::vector<std::wstring> before = ListFolder(folder_);

        EXPECT_EQ(Decrypt(L"locked-a.doc.abcd"), c.expected);
        std::vector<std::wstring> after = ListFolder(folder_);
        if (c.expected == RC_OK) {
            EXPECT_EQ(ReadBytes(In(L"a.doc")), original);
            after.erase(std::find(after.begin(), after.end(), L"a.doc"));
        }
        EXPECT_EQ(after, before) << "a copy was left, or a file there before was changed";
        for (const std::wstring& name : before) {
            if (name != L"locked-a.doc.abcd") {
                EXPECT_EQ(ReadBytes(In(name)).size(), 1u) << Narrow(name);
            }
        }
        RemoveTree(folder_);
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
}

// CopyFileExW that first tries to swap the file it is to copy: the locked
// file renamed aside and another put under its name.
struct Swap {
    decltype(&CopyFileExW) copy;
    std::wstring aside;
    std::wstring other;
    bool tried;
    bool swapped;
} g_swap;

BOOL WINAPI SwapThenCopy(const wchar_t* from, const wchar_t* to, LPPROGRESS_ROUTINE progress, void* data,
                         BOOL* cancel, DWORD flags)
{
    g_swap.tried = true;
    g_swap.swapped = MoveFileExW(from, g_swap.aside.c_str(), 0) && MoveFileExW(g_swap.other.c_str(), from, 0);
    return g_swap.copy(from, to, progress, data, cancel, flags);
}

TEST_F(DecryptTest, TheFileInHandCannotBeSwappedWhileItIsCopied)
{
    // Its head is read through its handle, its body copied by name: another
    // file renamed into its place in between would join the one's head to
    // the other's body. The swap is tried just there, by CopyFileExW
    // replaced in this program's import table.
    UsePlainKey();
    const Bytes original = RandomBytes(20000, 12);
    WritePlainLocked(folder_, L"a.doc", original, keystream_);
    g_swap = {nullptr, In(L"aside"), In(L"other"), false, false};
    WriteBytes(g_swap.other, LockPlain(RandomBytes(20000, 13), keystream_));
    g_swap.copy = reinterpret_cast<decltype(&CopyFileExW)>(
        ReplaceImport("CopyFileExW", reinterpret_cast<void*>(SwapThenCopy)));
    ASSERT_NE(g_swap.copy, nullptr);
    const Status status = Decrypt(L"locked-a.doc.abcd");
    ReplaceImport("CopyFileExW", reinterpret_cast<void*>(g_swap.copy));
    EXPECT_EQ(status, RC_OK);
    ASSERT_TRUE(g_swap.tried);
    EXPECT_FALSE(g_swap.swapped) << "the locked file was swapped between the read of its head and its copy";
    EXPECT_EQ(ReadBytes(In(L"a.doc")), original);
}

TEST_F(DecryptTest, AStopEndsTheCopyOfAHugeFileWithinTwoSeconds)
{
    if (!PlatformReportsCopyProgress(folder_))
        GTEST_SKIP() << "CopyFileExW never calls its progress routine here (Wine 8), nor honours a "
                        "cancel: a copy in flight cannot be stopped";
    UsePlainKey();
    ASSERT_TRUE(WriteHugePlainLocked(In(L"locked-huge.bin.abcd"), kHugeSize, keystream_));
    g_stopRequested = false;
    Status status = RC_OK;
    std::thread scan([&] { status = Decrypt(L"locked-huge.bin.abcd"); });
    // Stop once the copy is on its way.
    while (ListFolder(folder_).size() < 2)
        Sleep(1);
    Sleep(200);
    const ULONGLONG asked = GetTickCount64();
    g_stopRequested = true;
    scan.join();
    const ULONGLONG took = GetTickCount64() - asked;
    g_stopRequested = false;
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(status, RC_FAILED);
    EXPECT_EQ(ListFolder(folder_), std::vector<std::wstring>{L"locked-huge.bin.abcd"});
}

} // namespace
