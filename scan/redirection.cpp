#include "scan/redirection.h"

#include <cstddef>
#include <cwchar>

namespace {

wchar_t FoldCase(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

// When path begins with the first `length` characters of prefix (case
// folded), the rest of the path; else null.
const wchar_t* AfterPrefix(const wchar_t* path, const wchar_t* prefix, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (path[i] == L'\0' || FoldCase(path[i]) != FoldCase(prefix[i]))
            return nullptr;
    return path + length;
}

// When path begins with the components of `folder` (a lowercase relative
// path) followed by '\' or the end, the rest of the path after that '\'
// (an empty string at the end); else null.
const wchar_t* InFolder(const wchar_t* path, const wchar_t* folder)
{
    const wchar_t* rest = AfterPrefix(path, folder, wcslen(folder));
    if (rest == nullptr || (*rest != L'\\' && *rest != L'\0'))
        return nullptr;
    return *rest == L'\\' ? rest + 1 : rest;
}

const wchar_t* const kExemptFromRedirection[] = {L"catroot", L"catroot2", L"drivers\\etc", L"logfiles",
                                                  L"spool"};

} // namespace

bool IsRedirectedPath(const wchar_t* path, const wchar_t* windowsFolder)
{
    if (path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\')
        path += 4;
    size_t length = wcslen(windowsFolder);
    while (length > 0 && windowsFolder[length - 1] == L'\\')
        --length;
    const wchar_t* inWindows = length == 0 ? nullptr : AfterPrefix(path, windowsFolder, length);
    if (inWindows == nullptr || *inWindows != L'\\')
        return false;
    ++inWindows;
    if (const wchar_t* inSystem = InFolder(inWindows, L"system32")) {
        for (const wchar_t* exempt : kExemptFromRedirection)
            if (InFolder(inSystem, exempt) != nullptr)
                return false;
        return true;
    }
    return InFolder(inWindows, L"lastgood\\system32") != nullptr ||
           (AfterPrefix(inWindows, L"regedit.exe", 11) != nullptr && inWindows[11] == L'\0');
}
