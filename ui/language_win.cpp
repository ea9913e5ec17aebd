#include "ui/language.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

bool IsRussianUi()
{
    bool russian = false;
    wchar_t* name = nullptr;
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, nullptr, 0);
    if (length <= 0)
        goto out;
    name = static_cast<wchar_t*>(malloc(size_t(length) * sizeof *name));
    if (!name)
        goto out;
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, name, length) == 0)
        goto out;
    russian = wcscmp(name, L"Russian") == 0;

out:
    free(name);
    return russian;
}
