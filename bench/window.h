// The program's own main window, opened inside the benchmark as the program
// opens it: the dialog from the program's resources with its dialog
// procedure, run modally by the process's main thread, while a second
// thread scans as the program's scan thread does. Each display operation
// is then a synchronous message from that thread to the main thread.
#pragma once

#include <functional>

// Opens the window, waits until it has painted, then runs `work` on a
// second thread with g_progress holding the window's display operations,
// as the window installs them. When `work` returns the window is closed
// (by its Exit button) and so is this function. False if the window did
// not open.
bool WithMainWindow(const std::function<void()>& work);
