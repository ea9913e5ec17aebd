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

// True when c is the capital letter `upper` or its small form.
bool IsLetterIgnoringCase(wchar_t c, wchar_t upper)
{
    return c == upper || c == upper + (L'a' - L'A');
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

bool IsExtendedPath(const wchar_t* path)
{
    return path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\';
}

size_t VolumeRootLength(const wchar_t* path, size_t length)
{
    if (length >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
        path[3] == L'\\') {
        if (length >= 8 && IsLetterIgnoringCase(path[4], L'U') && IsLetterIgnoringCase(path[5], L'N') &&
            IsLetterIgnoringCase(path[6], L'C') && path[7] == L'\\')
            return AfterComponents(path, length, 8, 2);
        return AfterComponents(path, length, 4, 1);
    }
    if (length >= 2 && path[0] == L'\\' && path[1] == L'\\')
        return AfterComponents(path, length, 2, 2);
    if (length >= 3 && path[1] == L':' && path[2] == L'\\')
        return 3;
    return 0;
}

size_t MakeExtendedPath(wchar_t* buffer, size_t fullLength)
{
    const wchar_t* full = buffer + kExtendedPathRoom;
    const bool unc = full[0] == L'\\' && full[1] == L'\\';
    const bool device = unc && (full[2] == L'?' || full[2] == L'.') && full[3] == L'\\';
    const wchar_t* prefix;
    size_t skip; // characters of the full path that the prefix replaces
    if (device) {
        prefix = L"\\\\?\\";
        skip = 4;
    } else if (unc) {
        prefix = L"\\\\?\\UNC\\";
        skip = 2;
    } else {
        prefix = L"\\\\?\\";
        skip = 0;
    }
    const size_t prefixLength = wcslen(prefix);
    // The rest moves left or stays (the prefix is never longer than the room
    // plus the characters it replaces), then the prefix goes in front of it.
    wmemmove(buffer + prefixLength, full + skip, fullLength - skip + 1);
    wmemcpy(buffer, prefix, prefixLength);
    return prefixLength + fullLength - skip;
}
