// The main window: banner, introduction, Continue and Exit, progress bar
// and status line.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the bitmap at its natural size at the top-left of the client area
// and records its size for the banner line.
void DrawBanner(HDC dc, HBITMAP bitmap);
