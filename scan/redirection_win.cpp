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

} // namespace

bool StopFileSystemRedirection(void** cookie)
{
    const auto disable = Kernel32Function<DisableRedirection>("Wow64DisableWow64FsRedirection");
    return disable && disable(cookie);
}

void RestoreFileSystemRedirection(void* cookie)
{
    const auto revert = Kernel32Function<RevertRedirection>("Wow64RevertWow64FsRedirection");
    if (revert)
        revert(cookie);
}
