#include "bench/trees.h"

#include <windows.h>

#include <functional>

#include "tests/support/locker.h"

namespace {

const wchar_t* const kExtensions[] = {L".docx", L".txt", L".jpg",  L".pdf",
                                      L".xlsx", L".png", L".html", L".mp3"};

const Bytes& Keystream()
{
    static const Bytes keystream = RandomBytes(kBenchHead, 7001);
    return keystream;
}

const Bytes& Body()
{
    static const Bytes body = RandomBytes(kBenchBodyLength, 7002);
    return body;
}

// Contents for ordinary files: what lies in them does not matter to the
// scan, only their sizes do.
const Bytes& Pool()
{
    static const Bytes pool = RandomBytes(1 << 16, 7003);
    return pool;
}

uint32_t Mix(size_t i)
{
    return uint32_t((i + 1) * 2654435761u) >> 7;
}

std::wstring Numbered(const wchar_t* prefix, size_t i, int digits)
{
    std::wstring n = std::to_wstring(i);
    return prefix + std::wstring(n.size() < size_t(digits) ? digits - n.size() : 0, L'0') + n;
}

std::wstring OrdinaryName(size_t i)
{
    static const wchar_t* const stems[] = {L"report-", L"IMG_", L"notes ", L"invoice_2019-",
                                           L"Copy of budget ", L"track"};
    return Numbered(stems[i % 6], i, 5) + kExtensions[(i / 6) % 8];
}

bool WriteOrdinaryFile(const std::wstring& path, size_t size)
{
    return WriteFileBytes(path, Pool().data(), size);
}

} // namespace

Bytes BenchKeyFile(Layout layout)
{
    return layout == Layout::kPlain ? KeyFileFormB(Keystream())
                                    : KeyFileFormA(Keystream(), kBenchHead, Body());
}

bool WriteFileBytes(const std::wstring& path, const uint8_t* data, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = size == 0 || (WriteFile(file, data, DWORD(size), &written, nullptr) &&
                                  written == size);
    return CloseHandle(file) && ok;
}

bool MakeFolder(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {

// Three levels of ten folders below root, and `files` files spread evenly
// over the thousand deepest ones, each written by writeFile(leaf, i).
bool MakeLeveledTree(const std::wstring& root, size_t files, TreeShape* shape,
                     const std::function<bool(const std::wstring&, size_t)>& writeFile)
{
    const size_t leaves = 1000;
    *shape = {};
    size_t file = 0;
    for (size_t a = 0; a < 10; ++a) {
        const std::wstring first = root + L"\\" + Numbered(L"Folder ", a, 2);
        if (!MakeFolder(first))
            return false;
        ++shape->folders;
        for (size_t b = 0; b < 10; ++b) {
            const std::wstring second = first + L"\\" + Numbered(L"projects-", b, 2);
            if (!MakeFolder(second))
                return false;
            ++shape->folders;
            for (size_t c = 0; c < 10; ++c) {
                const std::wstring leaf = second + L"\\" + Numbered(L"2021_", c, 2);
                if (!MakeFolder(leaf))
                    return false;
                ++shape->folders;
                const size_t leafIndex = (a * 10 + b) * 10 + c;
                const size_t end = files * (leafIndex + 1) / leaves;
                for (; file < end; ++file) {
                    if (!writeFile(leaf, file))
                        return false;
                    ++shape->files;
                }
            }
        }
    }
    return true;
}

} // namespace

bool MakeOrdinaryTree(const std::wstring& root, size_t files, TreeShape* shape)
{
    return MakeLeveledTree(root, files, shape, [&](const std::wstring& leaf, size_t file) {
        const bool tiny = file % 10 == 0;
        const size_t size = tiny ? Mix(file) % kBenchTrailer
                                 : kBenchTrailer + Mix(file) % (8192 - kBenchTrailer);
        shape->tinyFiles += tiny;
        shape->bytes += size;
        return WriteOrdinaryFile(leaf + L"\\" + OrdinaryName(file), size);
    });
}

bool MakeScaleTree(const std::wstring& root, size_t entries, TreeShape* shape,
                   std::vector<std::wstring>* outputs)
{
    const Bytes locked = LockPlain(Bytes(Pool().begin(), Pool().begin() + 4096), Keystream());
    outputs->clear();
    const size_t folders = 1110;
    return entries > folders &&
           MakeLeveledTree(root, entries - folders, shape, [&](const std::wstring& leaf, size_t file) {
               if (file % 1000 != 500)
                   return WriteOrdinaryFile(leaf + L"\\" + OrdinaryName(file), 0);
               const std::wstring path = leaf + L"\\locked-" + OrdinaryName(file) + L".zxcv";
               outputs->push_back(OutputPathFor(Layout::kPlain, path));
               shape->bytes += locked.size();
               return WriteFileBytes(path, locked.data(), locked.size());
           });
}

std::wstring OutputPathFor(Layout layout, const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    const std::wstring folder = path.substr(0, slash + 1);
    const std::wstring name = path.substr(slash + 1);
    if (layout == Layout::kPlain)
        return folder + name.substr(7, name.size() - 12);
    const size_t dot = name.rfind(L'.');
    return folder + name.substr(0, dot) + L".decrypted01" + name.substr(dot);
}

bool MakeLockedSet(const std::wstring& root, Layout layout, size_t count, size_t size,
                   size_t perFolder, LockedSet* set)
{
    Bytes original(Pool().begin(), Pool().end());
    while (original.size() < size)
        original.insert(original.end(), Pool().begin(), Pool().end());
    original.resize(layout == Layout::kPlain ? size : size - kBenchTrailer);
    const Bytes locked = layout == Layout::kPlain
                             ? LockPlain(original, Keystream())
                             : LockWithTrailer(original, Keystream(), kBenchHead, Body());
    *set = {};
    if (!MakeFolder(root))
        return false;
    std::wstring folder;
    for (size_t i = 0; i < count; ++i) {
        if (i % perFolder == 0) {
            folder = root + L"\\" + Numbered(L"batch ", i / perFolder, 2);
            if (!MakeFolder(folder))
                return false;
            ++set->shape.folders;
        }
        const std::wstring name = Numbered(L"scan-", i, 5) + kExtensions[i % 8];
        const std::wstring path =
            folder + L"\\" + (layout == Layout::kPlain ? L"locked-" + name + L".qwer" : name);
        if (!WriteFileBytes(path, locked.data(), locked.size()))
            return false;
        ++set->shape.files;
        set->shape.bytes += locked.size();
        set->locked.push_back(path);
        set->outputs.push_back(OutputPathFor(layout, path));
    }
    return true;
}

bool MakeDisplayTree(const std::wstring& root, size_t files, TreeShape* shape,
                     std::vector<std::wstring>* outputs)
{
    const Bytes locked = LockPlain(Bytes(Pool().begin(), Pool().begin() + 4096), Keystream());
    *shape = {};
    outputs->clear();
    if (!MakeFolder(root))
        return false;
    std::wstring folder;
    for (size_t i = 0; i < files; ++i) {
        if (i % 200 == 0) {
            folder = root + L"\\" + Numbered(L"album ", i / 200, 3);
            if (!MakeFolder(folder))
                return false;
            ++shape->folders;
        }
        bool ok;
        if (i % 100 == 50) {
            const std::wstring path = folder + L"\\locked-" + OrdinaryName(i) + L".zxcv";
            ok = WriteFileBytes(path, locked.data(), locked.size());
            outputs->push_back(OutputPathFor(Layout::kPlain, path));
            shape->bytes += locked.size();
        } else {
            const size_t size = 1 + Mix(i) % 8192;
            ok = WriteOrdinaryFile(folder + L"\\" + OrdinaryName(i), size);
            shape->bytes += size;
        }
        if (!ok)
            return false;
        ++shape->files;
    }
    return true;
}

bool DeleteAll(const std::vector<std::wstring>& paths)
{
    bool all = true;
    for (const std::wstring& path : paths)
        all = DeleteFileW(path.c_str()) && all;
    return all;
}
