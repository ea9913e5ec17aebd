#include "bench/floors.h"

#include <windows.h>

#include <cwchar>

#include "core/state.h"

namespace {

struct Walk {
    wchar_t path[kPathCapacity];
    WIN32_FIND_DATAW entry;
    void (*visit)(Walk* walk);
    uint32_t tail;
    FloorWalk result;
};

// Walks the folder whose path is walk->path[0, length), without a final '\'.
void WalkFolder(Walk* walk, size_t length)
{
    wmemcpy(walk->path + length, L"\\*.*", 5);
    HANDLE find = FindFirstFileW(walk->path, &walk->entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const wchar_t* name = walk->entry.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)))
            continue;
        ++walk->result.entries;
        const bool folder = walk->entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (!folder && !walk->visit)
            continue;
        const size_t nameLength = wcslen(name);
        wmemcpy(walk->path + length + 1, name, nameLength + 1);
        if (folder)
            WalkFolder(walk, length + 1 + nameLength);
        else
            walk->visit(walk);
    } while (FindNextFileW(find, &walk->entry));
    FindClose(find);
}

void ReadTail(Walk* walk)
{
    HANDLE file = CreateFileW(walk->path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ++walk->result.failures;
        return;
    }
    const uint64_t size =
        (uint64_t(walk->entry.nFileSizeHigh) << 32) | walk->entry.nFileSizeLow;
    uint8_t tail[512];
    DWORD got = 0;
    LARGE_INTEGER back;
    back.QuadPart = -int64_t(walk->tail);
    if ((size >= walk->tail && !SetFilePointerEx(file, back, nullptr, FILE_END)) ||
        !ReadFile(file, tail, walk->tail, &got, nullptr))
        ++walk->result.failures;
    CloseHandle(file);
}

FloorWalk Run(const std::wstring& root, void (*visit)(Walk*), uint32_t tail)
{
    static Walk walk;
    walk.visit = visit;
    walk.tail = tail;
    walk.result = {};
    wmemcpy(walk.path, root.c_str(), root.size());
    WalkFolder(&walk, root.size());
    return walk.result;
}

} // namespace

FloorWalk WalkOnly(const std::wstring& root)
{
    return Run(root, nullptr, 0);
}

FloorWalk WalkAndReadTails(const std::wstring& root, uint32_t tail)
{
    return Run(root, ReadTail, tail);
}
