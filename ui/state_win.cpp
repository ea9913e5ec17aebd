#include "ui/state.h"

HINSTANCE g_instance;
HWND g_progressBar;
HWND g_statusLine;
uint32_t g_shownBarPosition = UINT32_MAX;
int g_bannerWidth;
int g_bannerHeight;

wchar_t g_firstPath[kPickedPathCapacity];
wchar_t g_secondPath[kPickedPathCapacity];
