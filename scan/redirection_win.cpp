#include "scan/redirection_win.h"

#include <windows.h>

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

} // namespace

bool StopFileSystemRedirection(void** cookie)
{
    return g_calls.disable && g_calls.revert && g_calls.disable(cookie);
}

void RestoreFileSystemRedirection(void* cookie)
{
    if (g_calls.revert)
        g_calls.revert(cookie);
}
