#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "core/derive_win.h"
#include "core/file_win.h"
#include "core/pair_win.h"
#include "core/state.h"
#include "tests/support/locker.h"

namespace {

const Bytes& Keystream()
{
    static const Bytes keystream = RandomBytes(40000, 300);
    return keystream;
}

const Bytes& Body()
{
    static const Bytes body = RandomBytes(100, 301);
    return body;
}

Bytes Changed(Bytes bytes, size_t offset)
{
    bytes[offset] ^= 0x01;
    return bytes;
}

Bytes Truncated(const Bytes& bytes, size_t size)
{
    return Bytes(bytes.begin(), bytes.begin() + size);
}

struct PairCase {
    const char* label;
    Bytes a;
    Bytes b;
    bool match;
    uint32_t head; // the trailer's head length on a trailer-layout match, else 0
};

std::vector<PairCase> PlainLayoutCases()
{
    // Two full blocks and a part of a third after the enciphered head.
    const Bytes original = RandomBytes(4096 + 2 * 65536 + 100, 302);
    const Bytes locked = LockPlain(original, Keystream());
    const size_t size = original.size();
    const Bytes small = RandomBytes(4096, 303);
    const Bytes tiny = RandomBytes(4095, 304);
    return {
        {"plain pair", original, locked, true, 0},
        {"plain pair, locked first", locked, original, true, 0},
        {"identical files", original, original, true, 0},
        {"4096 bytes: nothing after the head", small, LockPlain(small, Keystream()), true, 0},
        {"4095 bytes", tiny, LockPlain(tiny, Keystream()), false, 0},
        {"4095 identical bytes", tiny, tiny, false, 0},
        {"change in the head", original, Changed(locked, 4095), true, 0},
        {"change at 4096", original, Changed(locked, 4096), false, 0},
        {"change at the end of a block", original, Changed(locked, 4096 + 65535), false, 0},
        {"change at the start of a block", original, Changed(locked, 4096 + 65536), false, 0},
        {"change in the last byte", original, Changed(locked, size - 1), false, 0},
        {"change in the first file", Changed(original, size - 50), locked, false, 0},
    };
}

std::vector<PairCase> TrailerLayoutCases()
{
    const uint32_t head = 20000;
    const Bytes original = RandomBytes(head + 2 * 65536 + 100, 305);
    const Bytes locked = LockWithTrailer(original, Keystream(), head, Body());
    const size_t size = original.size();
    const Bytes mid = RandomBytes(40000, 306);
    const Bytes tiny = RandomBytes(4095, 307);
    // The sizes need not differ by the trailer's length: the original given
    // may be shorter than the one that was locked.
    const Bytes longer = RandomBytes(size + 2000, 308);
    const Bytes lockedLonger = LockWithTrailer(longer, Keystream(), head, Body());
    Bytes badMagic = locked;
    badMagic[locked.size() - 16] = 'X';
    return {
        {"trailer pair", original, locked, true, head},
        {"trailer pair, locked first", locked, original, true, head},
        {"change just before N", original, Changed(locked, head - 1), true, head},
        {"change at N", original, Changed(locked, head), false, 0},
        {"change at the end of a block", original, Changed(locked, head + 65535), false, 0},
        {"change at the start of a block", original, Changed(locked, head + 65536), false, 0},
        {"change in the last compared byte", Changed(original, size - 1), locked, false, 0},
        {"change in the trailer body", original, Changed(locked, size + 5), true, head},
        {"no magic", original, badMagic, false, 0},
        {"sizes 1023 apart", Truncated(longer, lockedLonger.size() - 1023), lockedLonger, true, head},
        {"sizes 1024 apart", Truncated(longer, lockedLonger.size() - 1024), lockedLonger, false, 0},
        {"original of 4095 bytes", tiny, LockWithTrailer(tiny, Keystream(), 4000, Body()), false, 0},
        {"N = 3", mid, LockWithTrailer(mid, Keystream(), 3, Body()), false, 0},
        {"N = 4", mid, LockWithTrailer(mid, Keystream(), 4, Body()), true, 4},
        {"N = 32768", mid, LockWithTrailer(mid, Keystream(), 32768, Body()), true, 32768},
        {"N = 32769", mid, LockWithTrailer(mid, Keystream(), 32769, Body()), false, 0},
        // Everything before N is enciphered, so two unrelated files match.
        {"N = the shorter size: nothing to compare", RandomBytes(30000, 310),
         LockWithTrailer(Truncated(mid, 30000), Keystream(), 30000, Body()), true, 30000},
        {"N beyond the shorter size", Truncated(mid, 30000),
         LockWithTrailer(Truncated(mid, 30000), Keystream(), 30001, Body()), false, 0},
    };
}

KeyState Sentinel()
{
    KeyState key;
    memset(&key, 0x77, sizeof key);
    return key;
}

class FilesMatchTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = MakeScratchFolder(L"pair"); }
    void TearDown() override { RemoveTree(folder_); }

    // Writes the pair and opens both files as the key derivation does.
    bool Match(const Bytes& a, const Bytes& b, DWORD access = GENERIC_READ)
    {
        const std::wstring pathA = folder_ + L"\\a", pathB = folder_ + L"\\b";
        WriteBytes(pathA, a);
        WriteBytes(pathB, b);
        HANDLE fileA = CreateFileW(pathA.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE fileB = CreateFileW(pathB.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(fileA, INVALID_HANDLE_VALUE);
        EXPECT_NE(fileB, INVALID_HANDLE_VALUE);
        const bool match = FilesMatch(fileA, fileB);
        CloseHandle(fileA);
        CloseHandle(fileB);
        return match;
    }

    // Every case answers as expected, and the key changes only on a
    // trailer-layout match, to hold the locked (longer) file's trailer.
    void Check(const std::vector<PairCase>& cases)
    {
        for (const PairCase& c : cases) {
            g_key = Sentinel();
            EXPECT_EQ(Match(c.a, c.b), c.match) << c.label;

            KeyState expected = Sentinel();
            if (c.head != 0) {
                const Bytes& locked = c.a.size() > c.b.size() ? c.a : c.b;
                const uint32_t total = uint32_t(Body().size() + 16);
                memset(&expected.reference, 0, sizeof expected.reference);
                expected.reference.totalLength = total;
                expected.reference.bodyLength = total - 16;
                expected.reference.headLength = c.head;
                memcpy(expected.reference.bytes, locked.data() + locked.size() - total, total);
            }
            EXPECT_EQ(0, memcmp(&g_key, &expected, sizeof expected))
                << c.label << (c.head ? ": the reference is not the locked file's trailer"
                                      : ": the key was touched");
        }
    }

    std::wstring folder_;
};

TEST_F(FilesMatchTest, PlainLayout)
{
    Check(PlainLayoutCases());
}

TEST_F(FilesMatchTest, TrailerLayoutLearnsTheReferenceTrailer)
{
    Check(TrailerLayoutCases());
}

// Reads that fail once left nothing compared and still answered "match":
// both counts stayed 0 and so agreed.
TEST_F(FilesMatchTest, FilesThatCannotBeReadNeverMatch)
{
    const Bytes original = RandomBytes(100000, 309);
    g_key = Sentinel();
    EXPECT_FALSE(Match(original, LockPlain(original, Keystream()), FILE_READ_ATTRIBUTES));
    EXPECT_FALSE(Match(original, LockWithTrailer(original, Keystream(), 9000, Body()),
                       FILE_READ_ATTRIBUTES));
    const KeyState untouched = Sentinel();
    EXPECT_EQ(0, memcmp(&g_key, &untouched, sizeof untouched));
}

// The pair checks read nothing before N, so an original whose size is N
// passes them unread; its head, read only for the key, then cannot be.
TEST_F(FilesMatchTest, AnOriginalThatCannotBeReadGivesNoKey)
{
    const Bytes original = RandomBytes(20000, 311);
    const std::wstring pathA = folder_ + L"\\original", pathB = folder_ + L"\\locked";
    WriteBytes(pathA, original);
    WriteBytes(pathB, LockWithTrailer(original, Keystream(), 20000, Body()));
    HANDLE unreadable = CreateFileW(pathA.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    HANDLE locked = OpenForReading(pathB.c_str());
    ASSERT_NE(unreadable, INVALID_HANDLE_VALUE);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    g_key = Sentinel();
    PairProblem problem = PAIR_NO_PROBLEM;
    EXPECT_EQ(KeyFromFilePair(unreadable, locked, &problem), RC_FAILED);
    EXPECT_EQ(problem, PAIR_SHORT_READ);
    EXPECT_EQ(g_key.keystreamLength, Sentinel().keystreamLength) << "a key was taken";
    CloseHandle(unreadable);
    CloseHandle(locked);
}

} // namespace
