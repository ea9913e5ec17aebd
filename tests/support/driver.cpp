#include "driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

namespace uidriver {
namespace {

// Message box text control: 0xFFFF on Windows and Wine 8, 100 in older
// Wine releases. Failing both, the first non-icon static with text.
constexpr int kMsgBoxTextId = 0xFFFF;
constexpr int kMsgBoxTextIdOldWine = 100;

// File-open dialog: the file name is typed into the Edit inside combo box
// cmb13 (Explorer-style dialog on Wine, Vista-style dialog on Windows),
// or into edit edt1 in old-style templates.
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

constexpr wchar_t kProgressClass[] = L"msctls_progress32";
constexpr wchar_t kStatusClass[] = L"msctls_statusbar32";

ULONGLONG Now() { return GetTickCount64(); }

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

bool ClassIs(HWND hwnd, const wchar_t* cls) {
  return _wcsicmp(ClassOf(hwnd).c_str(), cls) == 0;
}

// Title of a top-level window without sending it a message, so a hung
// window cannot stall the search.
std::wstring TitleOf(HWND hwnd) {
  int len = GetWindowTextLengthW(hwnd);
  if (len <= 0) return std::wstring();
  std::wstring s(static_cast<size_t>(len) + 1, L'\0');
  int n = GetWindowTextW(hwnd, &s[0], len + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

DWORD PidOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

// A named CALLBACK: on 32-bit x86 a lambda does not convert to the
// __stdcall function pointer that the enumerations take.
BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> mine;
  for (HWND h : all)
    if (pid == 0 || PidOf(h) == pid) mine.push_back(h);
  return mine;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND FindDescendantById(HWND parent, int id) {
  for (HWND h : Descendants(parent))
    if (GetDlgCtrlID(h) == id) return h;
  return nullptr;
}

bool SendWithTimeout(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                     DWORD_PTR* result) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           kSendTimeoutMs, &r))
    return false;
  if (result) *result = r;
  return true;
}

HWND WaitForTopLevel(const std::function<HWND()>& find, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = find()) != nullptr; }, timeoutMs);
  return found;
}

HWND MessageTextControl(HWND msgBox) {
  for (int id : {kMsgBoxTextId, kMsgBoxTextIdOldWine}) {
    HWND h = GetDlgItem(msgBox, id);
    if (h && ClassIs(h, L"Static")) return h;
  }
  for (HWND h = GetWindow(msgBox, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (!ClassIs(h, L"Static") || !IsWindowVisible(h)) continue;
    LONG type = GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP) continue;
    if (!GetText(h).empty()) return h;
  }
  return nullptr;
}

bool IsPushButton(HWND h) {
  if (!ClassIs(h, L"Button")) return false;
  LONG type = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ||
         type == BS_SPLITBUTTON || type == BS_DEFSPLITBUTTON;
}

// Direct child push button with this id. GetDlgItem alone is not enough:
// Wine's file dialog also has a toolbar with id IDOK.
HWND FindButton(HWND dialog, int id) {
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (GetDlgCtrlID(h) == id && IsPushButton(h)) return h;
  return nullptr;
}

bool WriteFileAll(const std::wstring& path, const void* data, size_t size) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr) &&
            written == size;
  CloseHandle(f);
  return ok;
}

}  // namespace

// ---------------------------------------------------------------- processes

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring out = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == arg.size()) {
      // Double them so the closing quote stays a quote.
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      out.push_back(L'"');
    } else {
      out.append(backslashes, L'\\');
      out.push_back(arg[i]);
    }
  }
  out.push_back(L'"');
  return out;
}

std::wstring ModuleDirectory() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buf[0],
                               static_cast<DWORD>(buf.size()));
  buf.resize(n);
  size_t slash = buf.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : buf.substr(0, slash);
}

Process::~Process() {
  Kill();
  Close();
}

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      pid_(std::exchange(other.pid_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    pid_ = std::exchange(other.pid_, 0);
  }
  return *this;
}

bool Process::Start(const std::wstring& exePath, const std::wstring& args,
                    const std::wstring& workDir) {
  Kill();
  Close();
  std::wstring cmd = QuoteArgument(exePath);
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(exePath.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0,
                      nullptr, workDir.empty() ? nullptr : workDir.c_str(),
                      &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  handle_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!handle_ || WaitForSingleObject(handle_, timeoutMs) != WAIT_OBJECT_0)
    return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_, &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

bool Process::IsRunning() const {
  return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
  if (!IsRunning()) return;
  TerminateProcess(handle_, kKilledExitCode);
  WaitForSingleObject(handle_, 5000);
}

void Process::Close() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
  pid_ = 0;
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs,
               DWORD pollMs) {
  const ULONGLONG deadline = Now() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    const ULONGLONG now = Now();
    if (now >= deadline) return false;
    const ULONGLONG left = deadline - now;
    Sleep(static_cast<DWORD>(left < pollMs ? left : pollMs));
  }
}

// ------------------------------------------------------ top-level windows

HWND FindWindowByTitle(DWORD pid, const std::wstring& title) {
  for (HWND h : TopLevelWindows(pid))
    if (IsWindowVisible(h) && TitleOf(h) == title) return h;
  return nullptr;
}

HWND WaitForWindow(DWORD pid, const std::wstring& title, DWORD timeoutMs) {
  return WaitForTopLevel([&] { return FindWindowByTitle(pid, title); },
                         timeoutMs);
}

bool WaitForNoWindow(DWORD pid, const std::wstring& title, DWORD timeoutMs) {
  return WaitUntil([&] { return FindWindowByTitle(pid, title) == nullptr; },
                   timeoutMs);
}

bool WaitForWindowClosed(HWND hwnd, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); },
                   timeoutMs);
}

bool IsMessageBox(HWND hwnd) {
  if (!IsWindow(hwnd) || !ClassIs(hwnd, L"#32770")) return false;
  if (!MessageTextControl(hwnd) || GetButtons(hwnd).empty()) return false;
  for (HWND h : Descendants(hwnd))
    if (ClassIs(h, L"Edit") || ClassIs(h, L"ComboBox") ||
        ClassIs(h, L"ComboBoxEx32"))
      return false;
  return true;
}

HWND FindMessageBox(DWORD pid, const std::wstring& caption) {
  for (HWND h : TopLevelWindows(pid))
    if (IsWindowVisible(h) && TitleOf(h) == caption && IsMessageBox(h))
      return h;
  return nullptr;
}

HWND WaitForMessageBox(DWORD pid, const std::wstring& caption,
                       DWORD timeoutMs) {
  return WaitForTopLevel([&] { return FindMessageBox(pid, caption); },
                         timeoutMs);
}

HWND FindOwnedMessageBox(HWND owner) {
  if (!IsWindow(owner)) return nullptr;
  for (HWND h : TopLevelWindows(PidOf(owner)))
    if (GetWindow(h, GW_OWNER) == owner && IsWindowVisible(h) &&
        IsMessageBox(h))
      return h;
  return nullptr;
}

HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs) {
  return WaitForTopLevel([&] { return FindOwnedMessageBox(owner); },
                         timeoutMs);
}

std::wstring DescribeWindows(DWORD pid) {
  std::wstring out;
  for (HWND h : TopLevelWindows(pid)) {
    wchar_t head[96];
    swprintf(head, 96, L"%p ", static_cast<void*>(h));
    out += head;
    out += L"class=" + ClassOf(h);
    out += IsWindowVisible(h) ? L" visible" : L" hidden";
    out += IsWindowEnabled(h) ? L"" : L" disabled";
    out += L" title=\"" + TitleOf(h) + L"\"\n";
  }
  if (out.empty()) out = L"(no top-level windows)\n";
  return out;
}

// ------------------------------------------------------------- controls

std::wstring GetText(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!hwnd || !SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, &len))
    return std::wstring();
  // Room for text that grows between the two messages.
  std::wstring s(static_cast<size_t>(len) + 256, L'\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(hwnd, WM_GETTEXT, s.size(),
                       reinterpret_cast<LPARAM>(&s[0]), &copied))
    return std::wstring();
  s.resize(copied < s.size() ? copied : s.size() - 1);
  return s;
}

std::wstring GetControlText(HWND dialog, int id) {
  HWND h = GetDlgItem(dialog, id);
  return h ? GetText(h) : std::wstring();
}

bool SetText(HWND hwnd, const std::wstring& text) {
  DWORD_PTR ok = 0;
  return hwnd &&
         SendWithTimeout(hwnd, WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(text.c_str()), &ok) &&
         ok;
}

HWND FindChildByClass(HWND parent, const std::wstring& className) {
  for (HWND h : Descendants(parent))
    if (ClassIs(h, className.c_str())) return h;
  return nullptr;
}

bool IsControlEnabled(HWND dialog, int id) {
  HWND h = GetDlgItem(dialog, id);
  return h && IsWindowEnabled(h);
}

bool IsControlVisible(HWND dialog, int id) {
  HWND h = GetDlgItem(dialog, id);
  return h && IsWindowVisible(h);
}

std::vector<ButtonInfo> GetButtons(HWND dialog) {
  std::vector<ButtonInfo> buttons;
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (IsPushButton(h) && IsWindowVisible(h))
      buttons.push_back({GetDlgCtrlID(h), GetText(h), !!IsWindowEnabled(h)});
  return buttons;
}

std::vector<int> GetButtonIds(HWND dialog) {
  std::vector<int> ids;
  for (const ButtonInfo& b : GetButtons(dialog)) ids.push_back(b.id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::wstring GetMessageBoxText(HWND msgBox) {
  if (!IsMessageBox(msgBox)) return std::wstring();
  return GetText(MessageTextControl(msgBox));
}

bool ClickButton(HWND dialog, int id) {
  HWND button = FindButton(dialog, id);
  if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button) ||
      !IsWindowEnabled(dialog))
    return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

HWND GetFocusedControl(HWND topLevel) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD tid = GetWindowThreadProcessId(topLevel, nullptr);
  if (!tid || !GetGUIThreadInfo(tid, &info) || !info.hwndFocus)
    return nullptr;
  if (info.hwndFocus == topLevel || IsChild(topLevel, info.hwndFocus))
    return info.hwndFocus;
  return nullptr;
}

int GetFocusedControlId(HWND topLevel) {
  HWND h = GetFocusedControl(topLevel);
  return h && h != topLevel ? GetDlgCtrlID(h) : -1;
}

int GetDefaultButtonId(HWND dialog) {
  DWORD_PTR r = 0;
  if (SendWithTimeout(dialog, DM_GETDEFID, 0, 0, &r) &&
      HIWORD(r) == DC_HASDEFID && FindButton(dialog, LOWORD(r)))
    return LOWORD(r);
  // Wine's message boxes answer DM_GETDEFID with IDOK even when they have
  // no OK button; their default button only shows in its style.
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (IsPushButton(h) && IsWindowVisible(h) &&
        (GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      return GetDlgCtrlID(h);
  return -1;
}

bool PressKey(HWND topLevel, WORD vk) {
  if (!IsWindow(topLevel)) return false;
  HWND target = GetFocusedControl(topLevel);
  if (!target) target = topLevel;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC))
                      << 16;
  const LPARAM down = 1 | scan;
  const LPARAM up = down | (1L << 30) | (1UL << 31);
  return PostMessageW(target, WM_KEYDOWN, vk, down) &&
         PostMessageW(target, WM_KEYUP, vk, up);
}

// ---------------------------------------------- main dialog's status area

bool GetProgressPos(HWND dialog, int* pos) {
  HWND bar = FindChildByClass(dialog, kProgressClass);
  DWORD_PTR r = 0;
  if (!bar || !SendWithTimeout(bar, PBM_GETPOS, 0, 0, &r)) return false;
  *pos = static_cast<int>(r);
  return true;
}

bool GetProgressRange(HWND dialog, int* low, int* high) {
  HWND bar = FindChildByClass(dialog, kProgressClass);
  DWORD_PTR lo = 0, hi = 0;
  if (!bar || !SendWithTimeout(bar, PBM_GETRANGE, TRUE, 0, &lo) ||
      !SendWithTimeout(bar, PBM_GETRANGE, FALSE, 0, &hi))
    return false;
  *low = static_cast<int>(lo);
  *high = static_cast<int>(hi);
  return true;
}

std::wstring GetStatusText(HWND dialog) {
  // WM_GETTEXT on a status bar gives the text of its first part, which is
  // what SetWindowTextW set.
  HWND bar = FindChildByClass(dialog, kStatusClass);
  return bar ? GetText(bar) : std::wstring();
}

// ------------------------------------------------------ file-open dialogs

HWND FindFileNameEdit(HWND openDialog) {
  if (!IsWindow(openDialog)) return nullptr;
  if (HWND combo = FindDescendantById(openDialog, kFileNameCombo)) {
    if (ClassIs(combo, L"Edit")) return combo;
    if (HWND edit = FindChildByClass(combo, L"Edit")) return edit;
  }
  HWND edit = FindDescendantById(openDialog, kFileNameEdit);
  return edit && ClassIs(edit, L"Edit") ? edit : nullptr;
}

HWND WaitForOpenDialog(DWORD pid, const std::wstring& title,
                       DWORD timeoutMs) {
  return WaitForTopLevel(
      [&]() -> HWND {
        for (HWND h : TopLevelWindows(pid))
          if (IsWindowVisible(h) && TitleOf(h) == title &&
              FindFileNameEdit(h))
            return h;
        return nullptr;
      },
      timeoutMs);
}

std::wstring GetOpenDialogFileName(HWND openDialog) {
  HWND edit = FindFileNameEdit(openDialog);
  return edit ? GetText(edit) : std::wstring();
}

bool ChooseFileInOpenDialog(HWND openDialog, const std::wstring& fullPath,
                            DWORD timeoutMs) {
  HWND edit = FindFileNameEdit(openDialog);
  if (!edit || !SetText(edit, fullPath) || !ClickButton(openDialog, IDOK))
    return false;
  return WaitForWindowClosed(openDialog, timeoutMs);
}

bool CancelOpenDialog(HWND openDialog, DWORD timeoutMs) {
  if (!FindFileNameEdit(openDialog) || !ClickButton(openDialog, IDCANCEL))
    return false;
  return WaitForWindowClosed(openDialog, timeoutMs);
}

// ------------------------------------------------------------ screenshots

namespace {

bool HasPendingPaint(HWND hwnd) {
  if (GetUpdateRect(hwnd, nullptr, FALSE)) return true;
  for (HWND h : Descendants(hwnd))
    if (IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE)) return true;
  return false;
}

// The window's pixels as the screen shows them, bottom-up rows of 24 bits.
bool CaptureScreenPixels(const RECT& r, BITMAPINFO* bi, std::vector<BYTE>* pixels) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  bool ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top,
                   SRCCOPY | CAPTUREBLT) != FALSE;
  SelectObject(mem, old);

  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  *bi = {};
  bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi->bmiHeader.biWidth = w;
  bi->bmiHeader.biHeight = h;  // bottom-up, as BMP files store it
  bi->bmiHeader.biPlanes = 1;
  bi->bmiHeader.biBitCount = 24;
  bi->bmiHeader.biCompression = BI_RGB;
  bi->bmiHeader.biSizeImage = stride * static_cast<DWORD>(h);
  pixels->assign(bi->bmiHeader.biSizeImage, 0);
  ok = ok && GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels->data(), bi,
                       DIB_RGB_COLORS) == h;
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

bool SaveWindowScreenshot(HWND hwnd, const std::wstring& bmpPath) {
  RECT r;
  if (!IsWindow(hwnd) || !GetWindowRect(hwnd, &r)) return false;
  // Have the window repaint, and take a picture, until two pictures in a
  // row agree: each once nothing is left to paint and the window's thread
  // has come back from painting (a paint validates its region as it
  // begins). On a busy machine the display can show a window that has just
  // appeared blank, or half drawn, for a while.
  const DWORD kSettleMs = 30000, kBetweenMs = 200;
  const ULONGLONG deadline = GetTickCount64() + kSettleMs;
  BITMAPINFO bi;
  std::vector<BYTE> pixels, previous;
  for (;;) {
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    DWORD_PTR answer = 0;
    if (!WaitUntil([&] { return !HasPendingPaint(hwnd); }, kSettleMs) ||
        !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kSettleMs, &answer))
      return false;
    Sleep(kBetweenMs);
    if (!CaptureScreenPixels(r, &bi, &pixels)) return false;
    if (pixels == previous) break;
    if (GetTickCount64() > deadline) return false;  // never settled
    previous.swap(pixels);
  }

  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels.size());
  std::vector<BYTE> file(fh.bfSize);
  std::memcpy(file.data(), &fh, sizeof fh);
  std::memcpy(file.data() + sizeof fh, &bi.bmiHeader, sizeof(BITMAPINFOHEADER));
  std::memcpy(file.data() + fh.bfOffBits, pixels.data(), pixels.size());
  return WriteFileAll(bmpPath, file.data(), file.size());
}

}  // namespace uidriver
