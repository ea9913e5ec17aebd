#include "ui/state_win.h"

HINSTANCE g_instance;
HWND g_progressBar;
HWND g_statusLine;
HANDLE g_scanThread;
std::atomic<bool> g_scanEnded{false};
