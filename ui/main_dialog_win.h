// The main window: banner, introduction, Continue and Exit, progress bar
// and status line.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the bitmap, drawn for bitmapDpi, at the top-left of the client area
// at its size for dpi, and records that size for the banner line.
void DrawBanner(HDC dc, HBITMAP bitmap, UINT bitmapDpi, UINT dpi);
