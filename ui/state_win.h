// Process-wide state of the main window and of the run it starts.
//
// The instance and the two controls are written while the main window
// initialises, on the interface thread. The scan thread only sends messages
// to the controls through the display operations; once the window is gone
// those messages reach no window and do nothing.
//
// g_scanThread is the scan thread's handle: created by the recovery run,
// released by Exit or the end of the session once the scan has ended, else
// waited for by the entry point (all on the interface thread). g_scanEnded
// is set by the scan thread when its scan is over, before the final count;
// the window reads it when the session ends, to know whether a file may
// still be in hand.
#pragma once

#include <windows.h>

#include <atomic>

#include "ui/state.h"

extern HINSTANCE g_instance;
extern HWND g_progressBar;
extern HWND g_statusLine;
extern HANDLE g_scanThread;
extern std::atomic<bool> g_scanEnded;
