// felnox1decrypt: gives back files locked by Trojan.Felnox.1.
#include <windows.h>

#include <commctrl.h>

#include "ui/main_dialog_win.h"
#include "ui/res/resource.h"
#include "ui/state_win.h"
#include "ui/system_dlls_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything loads a DLL: common controls 6 are no KnownDLL, and
    // their dependencies would be searched for beside the program.
    RestrictDllSearch();
    InitCommonControlClasses(ICC_WIN95_CLASSES);

    g_instance = instance;
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);

    // Let a scan leave the file in hand (after Exit), or finish (when Exit
    // came while the key was being asked for), before the process ends. A
    // scan that had ended was let go (its final count's box ends with us).
    if (g_scanThread) {
        WaitForSingleObject(g_scanThread, INFINITE);
        CloseHandle(g_scanThread);
    }
    return 0;
}
