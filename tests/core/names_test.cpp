#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "core/names.h"

namespace {

TEST(LockedName, NeedsThePrefixAndADotFiveFromTheEnd)
{
    struct Case {
        const wchar_t* name;
        bool locked;
    };
    const Case cases[] = {
        {L"locked-.abcd", false},       // 12 characters: too short
        {L"locked-a.abcd", true},       // the shortest locked name
        {L"locked-x.docx.zzzz", true},
        {L"locked-report.doc.abcd", true},
        {L"Locked-x.doc.abcd", false},  // the prefix is compared with exact case
        {L"LOCKED-x.doc.abcd", false},
        {L"locked-x.doc.abcde", false}, // dot six from the end
        {L"locked-x.doc.abc", false},
        {L"locked_x.doc.abcd", false},
        {L"x.doc", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLockedName(c.name, wcslen(c.name)), c.locked) << std::wstring(c.name).size();
}

std::wstring Output(const wchar_t* name, unsigned attempt, size_t capacity = 300)
{
    wchar_t buffer[300];
    const size_t length = FormatOutputName(buffer, capacity, name, wcslen(name), attempt);
    return length == 0 ? L"<none>" : std::wstring(buffer, length);
}

TEST(OutputName, NumbersCopiesBeforeTheLastExtension)
{
    EXPECT_EQ(Output(L"report.doc", 0), L"report.doc");
    EXPECT_EQ(Output(L"report.doc", 1), L"report.decrypted01.doc");
    EXPECT_EQ(Output(L"report.doc", 10), L"report.decrypted10.doc");
    EXPECT_EQ(Output(L"report.doc", 98), L"report.decrypted98.doc");
    EXPECT_EQ(Output(L"report.doc", 99), L"<none>");
    EXPECT_EQ(Output(L"archive.tar.gz", 2), L"archive.tar.decrypted02.gz");
    EXPECT_EQ(Output(L"README", 1), L"README.decrypted01");
    EXPECT_EQ(Output(L".profile", 3), L".decrypted03.profile");
    EXPECT_EQ(Output(L"trailing.", 4), L"trailing.decrypted04.");
    EXPECT_EQ(Output(L"\x0444\x0430\x0439\x043B.txt", 5), L"\x0444\x0430\x0439\x043B.decrypted05.txt");
}

TEST(OutputName, RefusesWhatDoesNotFitWithItsTerminator)
{
    EXPECT_EQ(Output(L"a.b", 1, 17), L"a.decrypted01.b");
    EXPECT_EQ(Output(L"a.b", 1, 16), L"a.decrypted01.b");
    EXPECT_EQ(Output(L"a.b", 1, 15), L"<none>");
    EXPECT_EQ(Output(L"a.b", 0, 4), L"a.b");
    EXPECT_EQ(Output(L"a.b", 0, 3), L"<none>");
    EXPECT_EQ(Output(L"a.b", 0, 0), L"<none>");
}

std::wstring Proposal(const std::wstring& original, size_t capacity = 16384)
{
    std::wstring buffer(capacity, L'#');
    const size_t length = ProposeLockedPath(&buffer[0], capacity, original.c_str());
    return length == 0 ? L"<none>" : buffer.substr(0, length);
}

TEST(ProposeLockedPath, PutsLockedBeforeTheNameWhenItFits)
{
    EXPECT_EQ(Proposal(L"D:\\backup\\report.doc"), L"D:\\backup\\locked-report.doc");
    EXPECT_EQ(Proposal(L"D:\\report.doc"), L"D:\\locked-report.doc");
    EXPECT_EQ(Proposal(L"report.doc"), L"report.doc");
    const std::wstring longName(267, L'n');
    EXPECT_EQ(Proposal(L"D:\\" + longName), L"D:\\" + longName);
    const std::wstring name266(266, L'n');
    EXPECT_EQ(Proposal(L"D:\\" + name266), L"D:\\locked-" + name266);
    // 10 characters + 7 + terminator need 18.
    EXPECT_EQ(Proposal(L"D:\\abc.txt", 18), L"D:\\locked-abc.txt");
    EXPECT_EQ(Proposal(L"D:\\abc.txt", 17), L"D:\\abc.txt");
}

} // namespace
