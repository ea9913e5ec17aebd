#include "ui/run.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>

#include "core/key.h"
#include "core/path.h"
#include "scan/state.h"
#include "scan/target.h"
#include "scan/walk.h"
#include "ui/pair_dialogs.h"
#include "ui/state_win.h"
#include "ui/texts.h"

namespace {

enum : DWORD {
    kProgramPathCapacity = 8192,
    kProgramPathLimit = 8160, // leaves room for the key file's name
    kMessageCapacity = 1024,  // all that wsprintfW writes
};

// The command line split into arguments: kept for the life of the process,
// because the scan thread reads its path from it.
wchar_t** g_arguments;
int g_argumentCount;

DWORD WINAPI ScanThread(void* parameter)
{
    const wchar_t* path = static_cast<const wchar_t*>(parameter);
    g_counters.filesDecrypted = 0;
    g_progress.setBarRange();
    g_progress.setBarPosition(0);
    RunScan(path);
    // Set before the stop request is read: a session that ends from now on
    // either finds it set or sees this thread end (see the window's EndSession).
    g_scanEnded = true;
    // After Exit the program is ending: no final count for a window that is
    // gone. From here on Exit and the end of the session no longer wait for
    // this thread: the process may end while the box below is up.
    if (g_stopRequested)
        return 0;
    g_progress.setBarPosition(kBarMaximum);
    wchar_t message[kMessageCapacity];
    wsprintfW(message, UiText(TEXT_FINAL_COUNT), g_counters.filesDecrypted);
    MessageBoxW(nullptr, message, kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}

} // namespace

Status FindKeyBesideProgram()
{
    wchar_t path[kProgramPathCapacity];
    const DWORD length = GetModuleFileNameW(nullptr, path, kProgramPathCapacity);
    if (length == 0 || length >= kProgramPathLimit)
        return RC_FAILED;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash)
        return RC_FAILED;
    wcscpy(slash + 1, kKeyFileName);

    const Status status = LoadKeyFile(path);
    if (Failed(status))
        return status;
    // A program started by its \\?\ path has its own path in that form.
    wchar_t shown[kProgramPathCapacity];
    MakeUserPath(shown, path);
    wchar_t question[kMessageCapacity];
    wsprintfW(question, UiText(TEXT_KEY_BESIDE_PROGRAM), shown);
    return MessageBoxW(nullptr, question, kMessageCaption, MB_YESNO | MB_ICONQUESTION) == IDYES
               ? RC_OK
               : RC_FAILED;
}

int StartRecovery()
{
    // Read before any dialog opens: the file dialogs change the current
    // folder, against which a relative folder argument is meant.
    if (!g_arguments) {
        g_arguments = CommandLineToArgvW(GetCommandLineW(), &g_argumentCount);
        if (g_arguments && g_argumentCount == 2) {
            DropTrailingQuote(g_arguments[1]);
            g_arguments[1] = MakeArgumentFull(g_arguments[1]);
        }
    }

    Status status = FindKeyBesideProgram();
    if (Failed(status))
        status = RC_RETRY;
    while (status == RC_RETRY)
        status = DeriveKeyFromPair();
    if (Failed(status))
        return 0;

    // One argument names what to scan; none, or more than one, means every drive.
    const wchar_t* path = g_arguments && g_argumentCount == 2 ? g_arguments[1] : nullptr;

    // A run whose thread could not start must not look as if it scanned.
    HANDLE thread = CreateThread(nullptr, 0, ScanThread, const_cast<wchar_t*>(path), 0, nullptr);
    if (!thread)
        return 0;
    g_scanThread = thread;
    return 1;
}
