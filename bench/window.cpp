#include "bench/window.h"

#include <windows.h>

#include <commctrl.h>

#include "ui/main_dialog_win.h"
#include "ui/res/resource.h"
#include "ui/state_win.h"
#include "ui/texts.h"

namespace {

const std::function<void()>* g_work;
bool g_opened;

// The dialog of this process with the program's title, once visible.
HWND FindOwnWindow()
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, kWindowTitle)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

DWORD WINAPI WorkThread(void*)
{
    HWND window = nullptr;
    for (int i = 0; i < 400 && !(window = FindOwnWindow()); ++i)
        Sleep(25);
    g_opened = window != nullptr && g_statusLine != nullptr && g_progressBar != nullptr;
    if (g_opened) {
        // Let the first paint of the whole window finish before anything is timed.
        Sleep(500);
        SendMessageW(window, WM_NULL, 0, 0);
        (*g_work)();
    }
    if (window)
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED), 0);
    return 0;
}

} // namespace

bool WithMainWindow(const std::function<void()>& work)
{
    g_work = &work;
    g_opened = false;
    g_instance = GetModuleHandleW(nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WorkThread, nullptr, 0, nullptr);
    if (!thread)
        return false;
    DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return g_opened;
}
