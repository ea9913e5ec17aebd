#include "scan/redirection_win.h"

#include <windows.h>

#include "scan/redirection.h"

namespace {

using DisableRedirection = BOOL(WINAPI*)(void**);
using RevertRedirection = BOOL(WINAPI*)(void*);

// Looked up at run time: the kernel32 of 32-bit Windows XP lacks them, and a
// missing import keeps a program from starting at all. The detour through
// void (*)() is how GCC allows a cast between function types.
template <typename Function>
Function Kernel32Function(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// Looked up once, while the program starts, since the walk stops the
// redirection around every file call. Not in a function's static: a guarded
// static brings the C++ runtime's thread library and exception support into
// the exe.
struct RedirectionCalls {
    DisableRedirection disable;
    RevertRedirection revert;
};

const RedirectionCalls g_calls = {
    Kernel32Function<DisableRedirection>("Wow64DisableWow64FsRedirection"),
    Kernel32Function<RevertRedirection>("Wow64RevertWow64FsRedirection")};

// The system's Windows folder, which holds every redirected path; read
// while the program starts, for the same reason. Empty when it cannot be
// read: then nothing counts as redirected.
struct WindowsFolder {
    wchar_t path[MAX_PATH];
};

WindowsFolder ReadWindowsFolder()
{
    WindowsFolder folder = {};
    const UINT length = GetSystemWindowsDirectoryW(folder.path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        folder.path[0] = L'\0';
    return folder;
}

const WindowsFolder g_windows = ReadWindowsFolder();

} // namespace

bool StopFileSystemRedirectionFor(const wchar_t* path, void** cookie)
{
    return g_calls.disable && g_calls.revert && IsRedirectedPath(path, g_windows.path) &&
           g_calls.disable(cookie);
}

void RestoreFileSystemRedirection(void* cookie)
{
    if (g_calls.revert)
        g_calls.revert(cookie);
}
