// felnox1decrypt: gives back files locked by Trojan.Felnox.1.
#include <windows.h>

#include <commctrl.h>

#include "ui/main_dialog_win.h"
#include "ui/res/resource.h"
#include "ui/state_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Often started from a Downloads folder where anything may lie beside it:
    // load DLLs from the system folder only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    g_instance = instance;
    InitCommonControls();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);

    // Let a scan leave the file in hand (after Exit), or finish (when Exit
    // came while the key was being asked for), before the process ends.
    if (g_scanThread) {
        WaitForSingleObject(g_scanThread, INFINITE);
        CloseHandle(g_scanThread);
    }
    return 0;
}
