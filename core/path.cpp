#include "core/path.h"

#include <cwchar>

namespace {

// True when c is the capital letter `upper` or its small form.
bool IsLetterIgnoringCase(wchar_t c, wchar_t upper)
{
    return c == upper || c == upper + (L'a' - L'A');
}

} // namespace

bool IsExtendedPath(const wchar_t* path)
{
    return path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\';
}

bool StartsWithUnc(const wchar_t* text, size_t length)
{
    return length >= 4 && IsLetterIgnoringCase(text[0], L'U') &&
           IsLetterIgnoringCase(text[1], L'N') && IsLetterIgnoringCase(text[2], L'C') &&
           text[3] == L'\\';
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

size_t MakeUserPath(wchar_t* dst, const wchar_t* path)
{
    const size_t length = wcslen(path);
    size_t skip = 0;   // characters of the \\?\ form left out
    size_t marks = 0;  // the \\ that begins a UNC path again
    if (IsExtendedPath(path)) {
        const wchar_t* rest = path + 4;
        if (StartsWithUnc(rest, length - 4)) {
            skip = 8;
            marks = 2;
        } else if (((rest[0] >= L'A' && rest[0] <= L'Z') || (rest[0] >= L'a' && rest[0] <= L'z')) &&
                   rest[1] == L':') {
            skip = 4;
        }
    }
    wmemcpy(dst, L"\\\\", marks);
    wmemcpy(dst + marks, path + skip, length - skip + 1);
    return marks + length - skip;
}
