#include "ui/main_dialog_win.h"

#include "ui/language.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "scan/state.h"
#include "ui/res/resource.h"
#include "ui/run.h"
#include "ui/state_win.h"
#include "ui/system_dlls_win.h"
#include "ui/texts.h"

namespace {

// The bar in dialog units, which follow the dialog's font and so its DPI:
// 60 and 10 pixels at 100 % with Windows' dialog font (Tahoma 8 pt), and in
// step with the buttons and the introduction box at every DPI and font.
enum {
    kBarHeight = 6,
    kBarOffsetFromBottom = 37,
};

// The banner line in pixels of the banner at 96 DPI.
enum {
    kBannerLineRight = 20,  // from the banner's right edge
    kBannerLineTop = 45,    // from the banner's bottom edge
};

// The banner is drawn twice, for 96 DPI and for 192.
enum : UINT { kBannerDpi = USER_DEFAULT_SCREEN_DPI, kLargeBannerDpi = 2 * USER_DEFAULT_SCREEN_DPI };

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

// The DPI the window is shown at: its monitor's from Windows 10 1607 on,
// the system's before.
UINT WindowDpi(HWND window)
{
    const auto getDpiForWindow =
        LookUpFunction<UINT WINAPI(HWND)>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (getDpiForWindow)
        return getDpiForWindow(window);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return UINT(dpi);
}

int Scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, int(dpi), USER_DEFAULT_SCREEN_DPI);
}

// Places what the dialog template does not place: the bar above the
// buttons and the status line at the bottom.
void LayOut(HWND window)
{
    RECT bar = {0, kBarOffsetFromBottom, 0, kBarHeight};
    MapDialogRect(window, &bar);
    RECT client;
    GetClientRect(window, &client);
    SetWindowPos(g_progressBar, nullptr, 0, client.bottom - bar.top, client.right, bar.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(g_statusLine, WM_SIZE, 0, 0); // it places itself
}

// Posted to lay the window out once everything a DPI change sets off is done.
enum : UINT { kLayOutMessage = WM_APP };

// Moved to a monitor of another DPI, which only a per-monitor v2 window is
// told (Windows 10 1703 on; the manifest declares no other per-monitor
// mode): take the size Windows proposes. The dialog manager then rescales
// the fonts and moves every child, the bar and the status line too, in
// proportion, which is not where they belong; the posted message places
// them after it, and has the banner drawn anew.
void MoveToNewDpi(HWND window, const RECT& proposed)
{
    SetWindowPos(window, nullptr, proposed.left, proposed.top, proposed.right - proposed.left,
                 proposed.bottom - proposed.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageW(window, kLayOutMessage, 0, 0);
}

void InitializeDialog(HWND window)
{
    SetFocus(GetDlgItem(window, IDC_EXIT));
    InitCommonControlClasses(ICC_WIN95_CLASSES);

    g_progressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 0, 0, 0, 0,
                                    window, nullptr, g_instance, nullptr);
    g_progress = kWindowSink;
    g_progress.setBarColor();
    g_statusLine = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   window, nullptr, g_instance, nullptr);
    LayOut(window);

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

    // The drawing nearer the DPI; at 150 % the large one, which loses less
    // when shrunk than the small one when enlarged.
    const UINT dpi = WindowDpi(window);
    const UINT bannerDpi = dpi * 2 >= kBannerDpi + kLargeBannerDpi ? kLargeBannerDpi : kBannerDpi;
    HBITMAP banner = LoadBitmapW(
        g_instance, MAKEINTRESOURCEW(bannerDpi == kLargeBannerDpi ? IDB_BANNER_LARGE : IDB_BANNER));
    if (banner) {
        DrawBanner(dc, banner, bannerDpi, dpi);
        DeleteObject(banner);
    }
    // The line uses the paint context's own font and colour, not the dialog's.
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const UINT oldAlign = SetTextAlign(dc, TA_RIGHT | TA_TOP);
    TextOutW(dc, g_bannerWidth - Scaled(kBannerLineRight, dpi),
             g_bannerHeight - Scaled(kBannerLineTop, dpi), kBannerLine, int(wcslen(kBannerLine)));
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

// A scan that has ended (its final count up, or dismissed) holds no file:
// its thread is let go, and the program ends without waiting for it. Read
// after the stop request is set, which the scan thread reads after it sets
// g_scanEnded: one of the two threads sees the other's flag.
void ReleaseEndedScan()
{
    if (!g_scanThread || !g_scanEnded)
        return;
    CloseHandle(g_scanThread);
    g_scanThread = nullptr;
}

INT_PTR Exit(HWND window, WPARAM wParam)
{
    // A scan that runs is asked to stop after the file in hand; the entry
    // point waits for that. A scan started after this (Exit pressed while
    // the key was being asked for) runs to its end without the window.
    if (g_scanThread)
        g_stopRequested = true;
    ReleaseEndedScan();
    EndDialog(window, INT_PTR(wParam));
    return 1;
}

// The session ends (logoff, shutdown): like Exit, the scan stops between
// two files, and the system may end the process once this returns, so wait
// until the file in hand is done; not for the final count's box of a scan
// that has ended, which would hold the session up. The scan thread's
// display calls are sent to this thread: answer them while waiting, also
// one already queued when the wait begins, which a wait for new messages
// only would sleep through.
void EndSession(HWND window)
{
    if (g_scanThread) {
        g_stopRequested = true;
        HANDLE thread = g_scanThread;
        while (!g_scanEnded &&
               MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) ==
                   WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        ReleaseEndedScan();
    }
    EndDialog(window, 0);
}

} // namespace

void DrawBanner(HDC dc, HBITMAP bitmap, UINT bitmapDpi, UINT dpi)
{
    BITMAP size;
    GetObjectW(bitmap, sizeof size, &size);
    const int width = MulDiv(size.bmWidth, int(dpi), int(bitmapDpi));
    const int height = MulDiv(size.bmHeight, int(dpi), int(bitmapDpi));
    HDC memory = CreateCompatibleDC(dc);
    SetMapMode(memory, GetMapMode(dc));
    HGDIOBJ old = SelectObject(memory, bitmap);
    // HALFTONE averages the source pixels behind each pixel drawn; it wants
    // the brush origin set after it.
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, width, height, memory, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    SelectObject(memory, old);
    DeleteDC(memory);
    g_bannerWidth = width;
    g_bannerHeight = height;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitializeDialog(window);
        return 0; // keep the focus on Exit
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DPICHANGED:
        // The message's lParam is the proposed rectangle's address.
        MoveToNewDpi(window, *reinterpret_cast<const RECT*>(lParam)); // NOLINT(performance-no-int-to-ptr)
        return 0; // the dialog manager goes on to rescale the fonts and controls
    case kLayOutMessage:
        LayOut(window);
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    case WM_ENDSESSION:
        if (wParam)
            EndSession(window);
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
