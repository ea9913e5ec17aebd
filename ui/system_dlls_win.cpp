#include "ui/system_dlls_win.h"

#include <commctrl.h>

namespace {

// Whether LoadLibraryExW knows the LOAD_LIBRARY_SEARCH_* flags: they came with
// SetDefaultDllDirectories (Windows 8, and Windows 7 with KB2533623).
bool g_searchFlagsKnown;

} // namespace

void RestrictDllSearch()
{
    // Looked up, not imported: the loader would refuse to start the exe on a
    // Windows 7 without KB2533623.
    const auto setDefaultDllDirectories = LookUpFunction<BOOL WINAPI(DWORD)>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    g_searchFlagsKnown = setDefaultDllDirectories &&
                         setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // There the most that can be done is to drop the current folder; the
    // program's own folder stays first in the search (docs/reliability.md).
    if (!g_searchFlagsKnown)
        SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, g_searchFlagsKnown ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0);
}

void InitCommonControlClasses(DWORD classes)
{
    // Loaded, never freed: the window uses it until the process ends.
    const auto initCommonControlsEx = LookUpFunction<BOOL WINAPI(const INITCOMMONCONTROLSEX*)>(
        LoadSystemLibrary(L"comctl32.dll"), "InitCommonControlsEx");
    if (!initCommonControlsEx)
        return;
    const INITCOMMONCONTROLSEX request = {sizeof request, classes};
    initCommonControlsEx(&request);
}
