// Process-wide state of the user interface.
//
// g_russianUi is the language of every text the user sees: set once, from
// IsRussianUi, while the main window initialises, and only read afterwards
// (by the interface thread and the scan thread alike). Until it is set the
// texts are English.
//
// The window state is written while the main window initialises and paints,
// on the interface thread. The scan thread only sends messages to the two
// controls through the display operations; once the window is gone those
// messages reach no window and do nothing.
//
// The two path buffers are the file-name buffers of the file-open dialogs
// that ask for an original and its locked copy.
#pragma once

#include <cstdint>

extern bool g_russianUi;

#ifdef _WIN32
#include <windows.h>

enum : DWORD { kPickedPathCapacity = 16384 };

extern HINSTANCE g_instance;
extern HWND g_progressBar;
extern HWND g_statusLine;
extern uint32_t g_shownBarPosition; // what the bar shows, so equal positions are not sent again
extern int g_bannerWidth;           // recorded while painting, to place the banner line
extern int g_bannerHeight;

extern wchar_t g_firstPath[kPickedPathCapacity];
extern wchar_t g_secondPath[kPickedPathCapacity];
#endif
