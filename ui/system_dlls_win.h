// Where the program's DLLs come from. It is often started from a Downloads
// folder where anything may lie beside it, so the exe imports only DLLs that
// every Windows from 7 to 11 keeps among its KnownDLLs (those are mapped
// from the system's own copies, with their dependencies, and never searched
// for), and every other DLL is loaded only after the search is restricted.
#pragma once

#include <windows.h>

// A function of a loaded DLL, or nullptr where this Windows lacks it.
template <class Function>
Function* LookUpFunction(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    // Through void (*)(): the one function pointer type every other converts to quietly.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Call first: from then on DLLs are searched for in the system folder only.
void RestrictDllSearch();

// Loads a DLL by name from the system folder (a side-by-side assembly that
// the manifest names, such as common controls 6, is still found first).
HMODULE LoadSystemLibrary(const wchar_t* name);

// Loads comctl32 (version 6, as the manifest asks) and registers the control
// classes named; should that fail, the window shows without bar and status line.
void InitCommonControlClasses(DWORD classes);
