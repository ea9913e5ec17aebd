// Process-wide state of the user interface that builds anywhere; the
// window's own state is in ui/state_win.h.
//
// g_russianUi is the language of every text the user sees: set once, from
// IsRussianUi, while the main window initialises, and only read afterwards
// (by the interface thread and the scan thread alike). Until it is set the
// texts are English.
#pragma once

extern bool g_russianUi;
