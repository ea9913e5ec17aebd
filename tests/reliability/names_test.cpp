// Names and paths at the edges: scripts other than Latin, characters beyond
// 16 bits, names as long as the file system takes, and trees as deep as
// the platform holds. A copy whose name cannot exist is not made, and the
// locked file stays as it is.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/reliability/fault_scan.h"

namespace {

enum : size_t { kMaxName = 255 }; // characters of one name on Windows

std::wstring Repeat(const std::wstring& unit, size_t count)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

// The longest name prefix + unit × n + suffix that the file system takes in
// folder: 255 characters on Windows; under Wine, whose Linux file systems
// count 255 bytes of UTF-8, fewer for other scripts.
std::wstring LongestName(const std::wstring& folder, const std::wstring& prefix,
                         const std::wstring& unit, const std::wstring& suffix)
{
    for (size_t n = (kMaxName - prefix.size() - suffix.size()) / unit.size(); n > 0; --n) {
        const std::wstring name = prefix + Repeat(unit, n) + suffix;
        if (CanCreate(folder + L"\\" + name))
            return name;
    }
    return L"";
}

class NamesTest : public FaultScanTest, public ::testing::WithParamInterface<Layout> {
protected:
    void SetUp() override
    {
        FaultScanTest::SetUp();
        UseLayout(GetParam());
    }

    // The longest locked name of that unit in root\folder; its copy is
    // expected when the copy's name can exist there.
    void LockLongest(const std::wstring& folder, const std::wstring& unit, uint32_t seed)
    {
        const std::wstring path = folder.empty() ? root_ : root_ + L"\\" + folder;
        const std::wstring locked = layout_ == Layout::kPlain
                                        ? LongestName(path, L"locked-", unit, L".abcd")
                                        : LongestName(path, L"", unit, L"");
        ASSERT_FALSE(locked.empty()) << Narrow(path);
        const bool fits = CanCreate(path + L"\\" + OutputName(layout_, locked));
        LockAs(root_, folder, locked, RandomBytes(5000 + seed, seed), fits);
        // A name of the longest size has no room for ".decrypted01".
        if (layout_ == Layout::kTrailer) {
            EXPECT_FALSE(fits) << Narrow(locked);
        }
    }
};

TEST_P(NamesTest, NamesInManyScripts)
{
    const wchar_t* folders[] = {L"", L"Фото", L"资料", L"🗂 archive"};
    const wchar_t* names[] = {
        L"Отчёт о продажах.docx", L"報告書 2024年.xlsx", L"写真 📷🎉.jpg", L"😀",
        L"Ελληνικά.pdf",          L"עברית.txt",           L"e\u0301te\u0301.txt",
        L"file.with.many.dots.tar.gz",
    };
    uint32_t seed = 0;
    for (const wchar_t* folder : folders) {
        if (*folder) {
            ASSERT_TRUE(CreateDirectoryW((root_ + L"\\" + folder).c_str(), nullptr));
        }
        for (const wchar_t* name : names) {
            ++seed;
            Lock(root_, folder, name, RandomBytes(1000 + 997 * seed, seed));
        }
    }
    const Snapshot before = TakeSnapshot(root_);
    ASSERT_EQ(before.size(), 32u);
    Scan(root_);
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(NamesTest, NamesAsLongAsTheFileSystemTakes)
{
    uint32_t seed = 0;
    for (const wchar_t* unit : {L"a", L"ж", L"字", L"😀"})
        LockLongest(L"", unit, ++seed);
    if (layout_ == Layout::kPlain) {
        // With the first name taken, the numbered copy has 255 characters.
        const std::wstring locked = L"locked-" + std::wstring(243, L'n') + L".abcd";
        ASSERT_EQ(locked.size(), kMaxName);
        WriteBytes(root_ + L"\\" + std::wstring(243, L'n'), Bytes{1, 2, 3});
        ASSERT_EQ(OutputName(layout_, locked, 1).size(), kMaxName);
        LockAs(root_, L"", locked, RandomBytes(7000, 99), true, 1);
    } else {
        // The longest trailer-layout name that still gets its copy.
        LockAs(root_, L"", std::wstring(kMaxName - 12, L't'), RandomBytes(7000, 99), true);
    }
    const Snapshot before = TakeSnapshot(root_);
    Scan(root_);
    ExpectOnlyCopiesAdded(root_, before);
}

TEST_P(NamesTest, DeepestTreeThePlatformHolds)
{
    // Folders of 100 characters, one in the other, until no deeper one can
    // be made: near 32767 characters on Windows, 4095 bytes of the Unix
    // path under Wine.
    std::vector<std::wstring> levels = {L""};
    for (wchar_t letter = L'a';; letter = letter == L'z' ? L'a' : wchar_t(letter + 1)) {
        const std::wstring next = Join(levels.back(), std::wstring(100, letter));
        if (!CreateDirectoryW((root_ + L"\\" + next).c_str(), nullptr))
            break;
        levels.push_back(next);
    }
    ASSERT_GE(levels.size(), 4u);
    // In the three deepest folders: a short name, and the longest that fits.
    uint32_t seed = 0;
    for (size_t i = levels.size() - 3; i < levels.size(); ++i) {
        const std::wstring& folder = levels[i];
        const std::wstring shortLocked = LockedName(L"x.doc");
        if (CanCreate(root_ + L"\\" + Join(folder, shortLocked)))
            LockAs(root_, folder, shortLocked, RandomBytes(6000, ++seed),
                   CanCreate(root_ + L"\\" + Join(folder, OutputName(layout_, shortLocked))));
        const std::wstring path = root_ + L"\\" + folder;
        const std::wstring locked = layout_ == Layout::kPlain
                                        ? LongestName(path, L"locked-", L"n", L".abcd")
                                        : LongestName(path, L"", L"n", L"");
        if (!locked.empty())
            LockAs(root_, folder, locked, RandomBytes(6000, ++seed),
                   CanCreate(path + L"\\" + OutputName(layout_, locked)));
    }
    const Snapshot before = TakeSnapshot(root_);
    ASSERT_GE(before.size(), 3u);
    Scan(root_);
    EXPECT_GT(ExpectedCopies(), 0u);
    ExpectOnlyCopiesAdded(root_, before);
}

INSTANTIATE_TEST_SUITE_P(, NamesTest, ::testing::Values(Layout::kPlain, Layout::kTrailer),
                         [](const auto& info) {
                             return std::string(info.param == Layout::kPlain ? "Plain" : "Trailer");
                         });

} // namespace
