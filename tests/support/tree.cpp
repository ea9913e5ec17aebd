#include "tests/support/tree.h"

#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "core/key.h"
#include "core/state.h"
#include "tests/support/locker.h"

namespace {

const uint32_t kTrailerHead = 6000;

const Bytes& Keystream()
{
    static const Bytes keystream = RandomBytes(kKeystreamCapacity, 4242);
    return keystream;
}

const Bytes& Body()
{
    static const Bytes body = RandomBytes(120, 4243);
    return body;
}

std::wstring Numbered(const std::wstring& name, unsigned number)
{
    if (number == 0)
        return name;
    const size_t dot = name.rfind(L'.');
    const std::wstring base = dot == std::wstring::npos ? name : name.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
    wchar_t digits[3] = {wchar_t(L'0' + number / 10), wchar_t(L'0' + number % 10), 0};
    return base + L".decrypted" + digits + extension;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? name : folder + L"\\" + name;
}

// Sizes: mostly small, some around the plain layout's head, a few larger.
size_t SizeFor(size_t i, uint32_t seed)
{
    const uint32_t r = uint32_t((i + 1) * 2654435761u) ^ seed;
    switch (i % 10) {
    case 0: return 4096;
    case 1: return 4095 + r % 3;
    case 2: return 60000 + r % 20000;
    default: return 1 + r % 9000;
    }
}

// The names of the tree's files, # standing for the file's number, with
// the names of the first two numbered copies written out: the scan's
// expected results, not derived from the naming rule they test.
struct NameShape {
    const wchar_t* name;
    const wchar_t* numbered[2];
};

const NameShape kNameShapes[] = {
    {L"report#.doc", {L"report#.decrypted01.doc", L"report#.decrypted02.doc"}},
    {L".hidden#", {L".decrypted01.hidden#", L".decrypted02.hidden#"}},
    {L"..two dots#.txt", {L"..two dots#.decrypted01.txt", L"..two dots#.decrypted02.txt"}},
    {L"отчёт_#.xls", {L"отчёт_#.decrypted01.xls", L"отчёт_#.decrypted02.xls"}},
    {L"報告書_#.pdf", {L"報告書_#.decrypted01.pdf", L"報告書_#.decrypted02.pdf"}},
    {L"archive#.tar.gz", {L"archive#.tar.decrypted01.gz", L"archive#.tar.decrypted02.gz"}},
    {L"README#", {L"README#.decrypted01", L"README#.decrypted02"}},
};

std::wstring WithNumber(const wchar_t* shape, size_t i)
{
    std::wstring name = shape;
    name.replace(name.find(L'#'), 1, std::to_wstring(i));
    return name;
}

std::wstring FileName(size_t i)
{
    return WithNumber(kNameShapes[i % 7].name, i);
}

// The copy of file i, locked in the layout, when `taken` names tried
// before are taken: the plain layout tries the name itself first, the
// trailer layout finds it taken by the locked file.
std::wstring CopyName(Layout layout, size_t i, unsigned taken)
{
    const unsigned attempt = taken + (layout == Layout::kTrailer ? 1 : 0);
    const NameShape& shape = kNameShapes[i % 7];
    return WithNumber(attempt == 0 ? shape.name : shape.numbered[attempt - 1], i);
}

const wchar_t* kFolderNames[] = {L"docs", L".git", L"..dots", L"Отчёты", L"写真フォルダ",
                                 L"with space", L"x.y"};
const wchar_t* kPlainSuffixes[] = {L"abcd", L"ЖЖЖЖ", L"1234", L"z.9z"};

uint32_t FileAttributes(size_t i)
{
    if (i % 11 == 0)
        return FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (i % 5 == 0)
        return FILE_ATTRIBUTE_HIDDEN;
    if (i % 17 == 0)
        return FILE_ATTRIBUTE_READONLY;
    return 0;
}

uint32_t FolderAttributes(size_t j)
{
    switch (j % 4) {
    case 1: return FILE_ATTRIBUTE_HIDDEN;
    case 2: return FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    default: return 0;
    }
}

} // namespace

void UseLayoutKey(Layout layout)
{
    const Bytes key = layout == Layout::kPlain ? KeyFileFormB(Keystream())
                                               : KeyFileFormA(Keystream(), kTrailerHead, Body());
    ASSERT_EQ(ParseKeyFile(key.data(), uint32_t(key.size()), &g_key), RC_OK);
}

Bytes LockedBytes(Layout layout, const Bytes& original)
{
    return layout == Layout::kPlain ? LockPlain(original, Keystream())
                                    : LockWithTrailer(original, Keystream(), kTrailerHead, Body());
}

std::wstring OutputName(Layout layout, const std::wstring& lockedName, unsigned taken)
{
    if (layout == Layout::kPlain)
        return Numbered(lockedName.substr(7, lockedName.size() - 12), taken);
    return Numbered(lockedName, taken + 1);
}

void WriteFileWithAttributes(const std::wstring& path, const Bytes& bytes, uint32_t attributes)
{
    WriteBytes(path, bytes);
    if (attributes != 0)
        EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << Narrow(path);
}

Snapshot TakeSnapshot(const std::wstring& root)
{
    Snapshot snapshot;
    std::vector<std::wstring> folders = {L""};
    while (!folders.empty()) {
        const std::wstring folder = folders.back();
        folders.pop_back();
        WIN32_FIND_DATAW entry;
        const std::wstring path = folder.empty() ? root : root + L"\\" + folder;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring relative = Join(folder, name);
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                snapshot[relative] = ReadBytes(root + L"\\" + relative);
            else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(relative);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return snapshot;
}

GeneratedTree GenerateTree(const std::wstring& root, Layout layout, size_t fileCount, uint32_t seed)
{
    GeneratedTree tree;
    // Folders: 7 below the root, 4 below each, 3 below each of those, and a
    // chain of three 100-character names whose paths pass 260 characters.
    std::vector<std::wstring> folders = {L""};
    size_t serial = 0;
    auto addFolder = [&](const std::wstring& relative) {
        const std::wstring path = root + L"\\" + relative;
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
        const uint32_t attributes = FolderAttributes(serial++);
        if (attributes != 0)
            EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes));
        folders.push_back(relative);
        ++tree.entries;
    };
    for (size_t a = 0; a < 7; ++a) {
        const std::wstring first = kFolderNames[a] + std::to_wstring(a);
        addFolder(first);
        for (size_t b = 0; b < 4; ++b) {
            const std::wstring second = Join(first, kFolderNames[(a + b + 1) % 7] + std::to_wstring(b));
            addFolder(second);
            for (size_t c = 0; c < 3; ++c)
                addFolder(Join(second, kFolderNames[(a + b + c + 2) % 7] + std::to_wstring(c)));
        }
    }
    std::wstring chain;
    for (int level = 0; level < 3; ++level) {
        chain = Join(chain, std::wstring(1, L"lдл"[level]) + std::wstring(99, L"lдл"[level]));
        addFolder(chain);
    }
    EXPECT_GT(root.size() + 1 + chain.size(), 260u);

    for (size_t i = 0; i < fileCount; ++i) {
        const std::wstring& folder = folders[i % folders.size()];
        const std::wstring name = FileName(i);
        const Bytes original = RandomBytes(SizeFor(i, seed), seed + uint32_t(i));
        const uint32_t attributes = FileAttributes(i);
        auto write = [&](const std::wstring& fileName, const Bytes& bytes) {
            WriteFileWithAttributes(root + L"\\" + Join(folder, fileName), bytes, attributes);
            ++tree.files;
            ++tree.entries;
        };
        switch (i % 3) {
        case 0: { // locked
            const std::wstring locked = layout == Layout::kPlain
                ? L"locked-" + name + L"." + kPlainSuffixes[(i / 3) % 4]
                : name;
            write(locked, LockedBytes(layout, original));
            unsigned taken = 0;
            if (i % 30 == 0) { // the first name tried exists already
                write(CopyName(layout, i, 0), RandomBytes(50, uint32_t(i)));
                taken = 1;
            }
            tree.outputs[Join(folder, CopyName(layout, i, taken))] = original;
            break;
        }
        case 1: // ordinary
            write(name, original);
            break;
        default: // near misses
            if (layout == Layout::kPlain) {
                const std::wstring miss = i % 2 ? L"Locked-" + name + L".abcd" : L"locked-" + name + L".abcde";
                write(miss, LockPlain(original, Keystream()));
            } else if (i % 2) { // a valid footer, another body
                write(name, LockWithTrailer(original, Keystream(), kTrailerHead, RandomBytes(120, 7)));
            } else { // shorter than any trailer
                write(name, RandomBytes(i % 16, uint32_t(i)));
            }
            break;
        }
    }
    return tree;
}

void ExpectOnlyOutputsAdded(const Snapshot& before, const Snapshot& after, const Snapshot& outputs)
{
    size_t changed = 0, missing = 0, unexpected = 0, wrong = 0;
    for (const auto& [path, bytes] : before) {
        const auto found = after.find(path);
        if (found == after.end())
            ++missing;
        else if (found->second != bytes)
            ++changed;
    }
    for (const auto& [path, bytes] : after) {
        if (before.count(path))
            continue;
        const auto expected = outputs.find(path);
        if (expected == outputs.end()) {
            if (++unexpected <= 5)
                ADD_FAILURE() << "unexpected file " << Narrow(path);
        } else if (expected->second != bytes) {
            if (++wrong <= 5)
                ADD_FAILURE() << "wrong bytes in " << Narrow(path);
        }
    }
    size_t absent = 0;
    for (const auto& [path, bytes] : outputs)
        if (!after.count(path) && ++absent <= 5)
            ADD_FAILURE() << "no decrypted copy " << Narrow(path);
    EXPECT_EQ(changed, 0u) << "files changed";
    EXPECT_EQ(missing, 0u) << "files gone";
    EXPECT_EQ(unexpected, 0u);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(after.size(), before.size() + outputs.size());
}
