#include "scan/target.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The index after `count` components that begin at `start`, each with the
// '\\' that ends it; 0 when the path ends first.
size_t AfterComponents(const wchar_t* path, size_t length, size_t start, int count)
{
    size_t i = start;
    for (int c = 0; c < count; ++c) {
        while (i < length && path[i] != L'\\')
            ++i;
        if (i >= length)
            return 0;
        ++i;
    }
    return i;
}

} // namespace

ScanTarget ClassifyScanPath(const wchar_t* path, wchar_t* letter)
{
    size_t n = wcslen(path);
    while (n > 0 && IsSeparator(path[n - 1]))
        --n;
    if (n == 0)
        return ScanTarget::kNothing;
    if (n == 2 && path[1] == L':') {
        *letter = path[0];
        return ScanTarget::kDrive;
    }
    if (n == 6 && path[0] == L'\\' && path[1] == L'\\' && path[3] == L'\\' && path[5] == L':') {
        *letter = path[4];
        return ScanTarget::kDrive;
    }
    return ScanTarget::kFolder;
}

void DropTrailingQuote(wchar_t* argument)
{
    const size_t length = wcslen(argument);
    if (length > 0 && argument[length - 1] == L'"')
        argument[length - 1] = L'\0';
}

size_t VolumeRootLength(const wchar_t* path, size_t length)
{
    if (length >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
        path[3] == L'\\') {
        if (StartsWithUnc(path + 4, length - 4))
            return AfterComponents(path, length, 8, 2);
        return AfterComponents(path, length, 4, 1);
    }
    if (length >= 2 && path[0] == L'\\' && path[1] == L'\\')
        return AfterComponents(path, length, 2, 2);
    if (length >= 3 && path[1] == L':' && path[2] == L'\\')
        return 3;
    return 0;
}
