// The classification of a scan argument and the \\?\ form of a full path.
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "scan/target.h"

namespace {

ScanTarget Classify(const wchar_t* path, wchar_t* letter = nullptr)
{
    wchar_t scratch = L'-';
    return ClassifyScanPath(path, letter != nullptr ? letter : &scratch);
}

TEST(ClassifyScanPath, EmptyOrSeparatorsOnlyIsNothing)
{
    for (const wchar_t* path : {L"", L"\\", L"/", L"\\\\", L"/\\/", L"\\\\\\\\\\"})
        EXPECT_EQ(Classify(path), ScanTarget::kNothing) << static_cast<int>(wcslen(path));
}

TEST(ClassifyScanPath, DriveForms)
{
    struct Case { const wchar_t* path; wchar_t letter; };
    const Case cases[] = {
        {L"C:", L'C'},       {L"C:\\", L'C'},       {L"C:/", L'C'},      {L"C:\\\\\\", L'C'},
        {L"c:/\\/", L'c'},   {L"\\\\?\\D:", L'D'},  {L"\\\\.\\D:\\", L'D'}, {L"\\\\.\\D:", L'D'},
        {L"\\\\?\\E:\\\\", L'E'}, {L"\\\\x\\F:", L'F'}, // any third character
    };
    for (const Case& c : cases) {
        wchar_t letter = 0;
        EXPECT_EQ(Classify(c.path, &letter), ScanTarget::kDrive) << static_cast<int>(wcslen(c.path));
        EXPECT_EQ(letter, c.letter);
    }
}

TEST(ClassifyScanPath, FoldersAreEverythingElse)
{
    for (const wchar_t* path : {L"D:\\photos\\", L"D:\\photos", L"C:x", L"photos", L".", L"..",
                                L"\\\\?\\D:\\x", L"\\\\server\\share", L"/\\?\\D:", L"\\\\?\\D;",
                                L"\\\\?/D:", L"\\\\?\\UNC\\s\\h", L"C:\\.", L"CC:"})
        EXPECT_EQ(Classify(path), ScanTarget::kFolder) << static_cast<int>(wcslen(path));
}

std::wstring Extended(const std::wstring& full)
{
    wchar_t buffer[64] = {};
    wmemcpy(buffer + kExtendedPathRoom, full.c_str(), full.size() + 1);
    const size_t length = MakeExtendedPath(buffer, full.size());
    EXPECT_EQ(length, wcslen(buffer));
    return buffer;
}

TEST(MakeExtendedPath, PrefixesEachKindOfFullPath)
{
    EXPECT_EQ(Extended(L"C:\\dir"), L"\\\\?\\C:\\dir");
    EXPECT_EQ(Extended(L"D:\\photos\\"), L"\\\\?\\D:\\photos\\");
    EXPECT_EQ(Extended(L"\\\\server\\share"), L"\\\\?\\UNC\\server\\share");
    EXPECT_EQ(Extended(L"\\\\server\\share\\a b\\"), L"\\\\?\\UNC\\server\\share\\a b\\");
    EXPECT_EQ(Extended(L"\\\\.\\C:\\dir"), L"\\\\?\\C:\\dir");
    EXPECT_EQ(Extended(L"\\\\?\\C:\\dir"), L"\\\\?\\C:\\dir");
    EXPECT_EQ(Extended(L"\\\\?\\UNC\\s\\h"), L"\\\\?\\UNC\\s\\h");
}

size_t VolumeRoot(const std::wstring& path) { return VolumeRootLength(path.c_str(), path.size()); }

TEST(VolumeRootLength, EachFormOfRoot)
{
    EXPECT_EQ(VolumeRoot(L"C:\\a\\b"), 3u);
    EXPECT_EQ(VolumeRoot(L"C:\\"), 3u);
    EXPECT_EQ(VolumeRoot(L"\\\\?\\C:\\a"), 7u);
    EXPECT_EQ(VolumeRoot(L"\\\\.\\C:\\a"), 7u);
    EXPECT_EQ(VolumeRoot(L"\\\\?\\C:"), 0u);
    EXPECT_EQ(VolumeRoot(L"\\\\server\\share\\a"), 15u);
    EXPECT_EQ(VolumeRoot(L"\\\\server\\share"), 0u);
    EXPECT_EQ(VolumeRoot(L"\\\\?\\UNC\\server\\share\\a\\b"), 21u);
    EXPECT_EQ(VolumeRoot(L"\\\\?\\unc\\s\\h\\"), 12u);
    EXPECT_EQ(VolumeRoot(L"\\\\?\\Volume{1234}\\a"), 17u);
    EXPECT_EQ(VolumeRoot(L"relative\\a"), 0u);
    EXPECT_EQ(VolumeRoot(L"C:a"), 0u);
    EXPECT_EQ(VolumeRoot(L""), 0u);
}

TEST(MakeUserPath, ShowsPathsAsUsersWriteThem)
{
    const struct {
        const wchar_t* path;
        const wchar_t* shown;
    } cases[] = {
        {L"\\\\?\\D:\\docs\\report.doc", L"D:\\docs\\report.doc"},
        {L"\\\\?\\d:\\*.*", L"d:\\*.*"},
        {L"\\\\?\\UNC\\server\\share\\a", L"\\\\server\\share\\a"},
        {L"\\\\?\\unc\\s\\h", L"\\\\s\\h"},
        // No user form: shown as they are.
        {L"\\\\?\\Volume{1234}\\a", L"\\\\?\\Volume{1234}\\a"},
        {L"\\\\?\\UNC", L"\\\\?\\UNC"},
        {L"\\\\?\\1:\\a", L"\\\\?\\1:\\a"},
        {L"D:\\docs", L"D:\\docs"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t shown[64];
        wmemset(shown, L'#', 64);
        const size_t length = MakeUserPath(shown, c.path);
        EXPECT_EQ(std::wstring(shown), c.shown);
        EXPECT_EQ(length, wcslen(c.shown));
        EXPECT_LE(length, wcslen(c.path));
    }
}

TEST(IsExtendedPath, OnlyTheQuestionMarkForm)
{
    EXPECT_TRUE(IsExtendedPath(L"\\\\?\\C:\\"));
    EXPECT_TRUE(IsExtendedPath(L"\\\\?\\UNC\\s\\h"));
    EXPECT_FALSE(IsExtendedPath(L"\\\\.\\C:\\"));
    EXPECT_FALSE(IsExtendedPath(L"C:\\"));
    EXPECT_FALSE(IsExtendedPath(L"\\\\?"));
    EXPECT_FALSE(IsExtendedPath(L""));
}

} // namespace
