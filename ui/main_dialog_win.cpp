#include "ui/main_dialog_win.h"

#include "ui/language.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "scan/state.h"
#include "ui/res/resource.h"
#include "ui/run.h"
#include "ui/state_win.h"
#include "ui/texts.h"

namespace {

enum {
    kBarHeight = 10,
    kBarOffsetFromBottom = 60,
    kBannerLineRight = 20,  // from the banner's right edge
    kBannerLineTop = 45,    // from the banner's bottom edge
};

const COLORREF kBarColor = RGB(0, 153, 51);

// What the bar shows, so equal positions are not sent again.
uint32_t g_shownBarPosition = UINT32_MAX;
// The banner's size, recorded while painting, to place the banner line.
int g_bannerWidth;
int g_bannerHeight;

// The display operations: synchronous messages to this window's controls.
// Once the window is gone they reach no window and do nothing.
void SetStatusText(const wchar_t* text)
{
    SetWindowTextW(g_statusLine, text);
}

void SetBarRange()
{
    SendMessageW(g_progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, kBarMaximum));
}

// A position equal to the one shown would change nothing on screen but
// still cost a round trip to the interface thread.
void SetBarPosition(uint32_t position)
{
    if (position == g_shownBarPosition)
        return;
    g_shownBarPosition = position;
    SendMessageW(g_progressBar, PBM_SETPOS, position, 0);
}

void SetBarColor()
{
    SendMessageW(g_progressBar, PBM_SETBARCOLOR, 0, kBarColor);
}

const ProgressSink kWindowSink = {SetStatusText, SetBarRange, SetBarPosition, SetBarColor};

void InitializeDialog(HWND window)
{
    SetFocus(GetDlgItem(window, IDC_EXIT));
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    RECT client;
    GetClientRect(window, &client);
    g_progressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 0,
                                    client.bottom - kBarOffsetFromBottom, client.right, kBarHeight,
                                    window, nullptr, g_instance, nullptr);
    g_progress = kWindowSink;
    g_progress.setBarColor();
    g_statusLine = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   window, nullptr, g_instance, nullptr);

    SetWindowTextW(window, kWindowTitle);
    SetClassLongPtrW(window, GCLP_HICON,
                     LONG_PTR(LoadIconW(g_instance, MAKEINTRESOURCEW(IDI_APP))));

    g_russianUi = IsRussianUi();
    if (g_russianUi) {
        SetDlgItemTextW(window, IDC_CONTINUE, UiText(TEXT_CONTINUE_BUTTON));
        SetDlgItemTextW(window, IDC_EXIT, UiText(TEXT_EXIT_BUTTON));
    }
    wchar_t* introduction = BuildDisclaimerText();
    if (introduction) {
        SetDlgItemTextW(window, IDC_INTRO, introduction);
        free(introduction);
    }
}

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, HBRUSH(GetStockObject(WHITE_BRUSH)));

    HBITMAP banner = LoadBitmapW(g_instance, MAKEINTRESOURCEW(IDB_BANNER));
    if (banner) {
        DrawBanner(dc, banner);
        DeleteObject(banner);
    }
    // The line uses the paint context's own font and colour, not the dialog's.
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const UINT oldAlign = SetTextAlign(dc, TA_RIGHT | TA_TOP);
    TextOutW(dc, g_bannerWidth - kBannerLineRight, g_bannerHeight - kBannerLineTop, kBannerLine,
             int(wcslen(kBannerLine)));
    SetTextAlign(dc, oldAlign);
    SetBkMode(dc, oldMode);
    EndPaint(window, &paint);
}

INT_PTR Continue(HWND window)
{
    HWND button = GetDlgItem(window, IDC_CONTINUE);
    EnableWindow(button, FALSE);
    if (StartRecovery() == 1)
        return 1; // one run per process: Continue stays disabled
    EnableWindow(button, TRUE);
    return 0;
}

INT_PTR Exit(HWND window, WPARAM wParam)
{
    // A scan that runs is asked to stop after the file in hand; the entry
    // point waits for that. A scan started after this (Exit pressed while
    // the key was being asked for) runs to its end without the window.
    if (g_scanThread)
        g_stopRequested = true;
    EndDialog(window, INT_PTR(wParam));
    return 1;
}

} // namespace

void DrawBanner(HDC dc, HBITMAP bitmap)
{
    BITMAP size;
    GetObjectW(bitmap, sizeof size, &size);
    HDC memory = CreateCompatibleDC(dc);
    SetMapMode(memory, GetMapMode(dc));
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    g_bannerWidth = size.bmWidth;
    g_bannerHeight = size.bmHeight;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitializeDialog(window);
        return 0; // keep the focus on Exit
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CONTINUE)
            return Continue(window);
        if (LOWORD(wParam) == IDC_EXIT)
            return Exit(window, wParam);
        return 0;
    default:
        return 0;
    }
}
