// UI driver for end-to-end tests: starts felnox1decrypt.exe and drives its
// windows (main dialog, message boxes, file-open dialogs) from the test
// process through the plain Win32 API.
//
// Every wait is bounded by a timeout in milliseconds and polls every
// kPollMs; on timeout a function returns nullptr / false instead of hanging.
// Messages that must be answered by the target are sent with
// SendMessageTimeoutW (kSendTimeoutMs), clicks and key presses are posted,
// so a button that opens a modal loop never blocks the test.
//
// Not thread-safe; use from the test's main thread.
//
// Under Wine on a bare X server (Xvfb, no window manager) set
//   HKCU\Software\Wine\X11 Driver  Managed=N  Decorated=N
// in the test prefix: with managed windows Wine waits 2 s for a window
// manager each time a window is hidden, and without Decorated=N nobody
// draws the title bars that screenshots should show.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uidriver {

constexpr DWORD kPollMs = 25;
constexpr DWORD kSendTimeoutMs = 3000;
// Exit code given to a process ended by Process::Kill().
constexpr UINT kKilledExitCode = 0xDEAD;

// ---------------------------------------------------------------- processes

// Quotes one command-line argument so that CommandLineToArgvW and the CRT
// give it back unchanged (spaces, tabs, quotes, trailing backslashes).
std::wstring QuoteArgument(const std::wstring& arg);

// Directory (no trailing backslash) of the running test executable.
std::wstring ModuleDirectory();

// A child process owned by the test. The destructor kills it if it is still
// running, so a failed test never leaves the program behind.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;

  // Runs exePath with the command line `"exePath" args` (args is passed
  // verbatim; build it with QuoteArgument) in workDir (empty: the test's own
  // current directory). Returns false with GetLastError() set on failure.
  bool Start(const std::wstring& exePath, const std::wstring& args,
             const std::wstring& workDir);

  // Waits up to timeoutMs for the process to end. Returns false if it is
  // still running (or was never started); else stores the exit code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;

  bool IsRunning() const;

  // Terminates the process with kKilledExitCode if it still runs and waits
  // (bounded) for it to go. The handle stays open so the exit code can
  // still be read.
  void Kill();

  HANDLE handle() const { return handle_; }
  DWORD id() const { return pid_; }

 private:
  void Close();
  HANDLE handle_ = nullptr;
  DWORD pid_ = 0;
};

// Polls cond every pollMs until it returns true or timeoutMs has passed.
// cond is always evaluated at least once, and once more at the deadline.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs,
               DWORD pollMs = kPollMs);

// ------------------------------------------------------ top-level windows
// pid 0 means "any process".

// Visible top-level window of process pid whose title is exactly `title`.
HWND FindWindowByTitle(DWORD pid, const std::wstring& title);
HWND WaitForWindow(DWORD pid, const std::wstring& title, DWORD timeoutMs);

// True when no visible top-level window of pid has that title any more.
bool WaitForNoWindow(DWORD pid, const std::wstring& title, DWORD timeoutMs);

// True when hwnd has been destroyed or hidden.
bool WaitForWindowClosed(HWND hwnd, DWORD timeoutMs);

// Message boxes: a dialog (#32770) with this caption that has a message
// text, buttons and no edit field (which tells it from an open dialog or
// the main dialog carrying the same title).
bool IsMessageBox(HWND hwnd);
HWND FindMessageBox(DWORD pid, const std::wstring& caption);
HWND WaitForMessageBox(DWORD pid, const std::wstring& caption,
                       DWORD timeoutMs);

// Message box owned by `owner` (e.g. the error box a file dialog shows for
// a missing file), whatever its caption.
HWND FindOwnedMessageBox(HWND owner);
HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs);

// One line per top-level window of pid: handle, class, visibility, title.
// Meant for failure messages ("waited for X, but the screen shows ...").
std::wstring DescribeWindows(DWORD pid);

// ------------------------------------------------------------- controls

// Text of any window or control, also in another process (WM_GETTEXT).
// Empty string if the window is gone or does not answer.
std::wstring GetText(HWND hwnd);
std::wstring GetControlText(HWND dialog, int id);
bool SetText(HWND hwnd, const std::wstring& text);

// First descendant of parent whose class name equals className (case-
// insensitive), in Z order; nullptr if none.
HWND FindChildByClass(HWND parent, const std::wstring& className);

bool IsControlEnabled(HWND dialog, int id);  // false if missing
bool IsControlVisible(HWND dialog, int id);  // false if missing

struct ButtonInfo {
  int id;
  std::wstring text;  // as shown, with the '&' mnemonic markers
  bool enabled;
};
// Visible push buttons that are direct children of dialog, in tab order.
std::vector<ButtonInfo> GetButtons(HWND dialog);
// Ids of the visible buttons, sorted ascending (e.g. {IDYES, IDNO} = {6, 7}).
std::vector<int> GetButtonIds(HWND dialog);

// Text shown by a message box; empty if hwnd is no message box.
std::wstring GetMessageBoxText(HWND msgBox);

// Clicks push button `id` of dialog as a user would: posts BM_CLICK and
// returns at once. Returns false (and clicks nothing) if the button is
// missing, hidden or disabled, or the dialog is disabled (as it is while a
// modal box it owns is up).
bool ClickButton(HWND dialog, int id);

// Control that has the keyboard focus in the thread that owns topLevel, if
// it is topLevel itself or lies inside it; nullptr otherwise.
HWND GetFocusedControl(HWND topLevel);
// Id of that control, or -1.
int GetFocusedControlId(HWND topLevel);

// Id of the dialog's default push button: what DM_GETDEFID names if that
// button exists, else the visible button styled BS_DEFPUSHBUTTON (Wine's
// message boxes answer DM_GETDEFID with IDOK even without an OK button);
// -1 if there is none.
int GetDefaultButtonId(HWND dialog);

// Presses and releases virtual key vk in topLevel: posts WM_KEYDOWN and
// WM_KEYUP to the control that has the focus (or to topLevel), where the
// dialog's own message loop handles them as typed keys. Needs no
// foreground window, so it works on a display without a window manager.
bool PressKey(HWND topLevel, WORD vk);

// ---------------------------------------------- main dialog's status area

// Progress bar (msctls_progress32) position and range; false if there is
// no progress bar or it does not answer.
bool GetProgressPos(HWND dialog, int* pos);
bool GetProgressRange(HWND dialog, int* low, int* high);

// Text of the status bar (msctls_statusbar32); empty if none.
std::wstring GetStatusText(HWND dialog);

// ------------------------------------------------------ file-open dialogs

// The edit field that takes the file name; nullptr if hwnd is no
// file-open dialog.
HWND FindFileNameEdit(HWND openDialog);

// Waits for a visible file-open dialog of pid titled `title` (a message box
// with the same caption does not count).
HWND WaitForOpenDialog(DWORD pid, const std::wstring& title, DWORD timeoutMs);

// File name the dialog proposes, as shown in its file-name field.
std::wstring GetOpenDialogFileName(HWND openDialog);

// Types fullPath into the file-name field and presses Open, then waits for
// the dialog to close. Returns false if it is still open after timeoutMs
// (e.g. it showed a "file not found" box); the dialog is left as it is.
bool ChooseFileInOpenDialog(HWND openDialog, const std::wstring& fullPath,
                            DWORD timeoutMs);

// Presses Cancel and waits for the dialog to close.
bool CancelOpenDialog(HWND openDialog, DWORD timeoutMs);

// ------------------------------------------------------------ screenshots

// Has hwnd repaint, waits (bounded) for that, and saves what the screen
// shows inside its window rectangle as a 24-bit BMP. Whatever covers the
// window is captured too: take it when the window is on top.
bool SaveWindowScreenshot(HWND hwnd, const std::wstring& bmpPath);

}  // namespace uidriver
