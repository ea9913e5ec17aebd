#include "ui/pair_dialogs.h"

#include <windows.h>

#include <commdlg.h>

#include "core/derive_win.h"
#include "core/file_win.h"
#include "core/key.h"
#include "core/names.h"
#include "ui/texts.h"

namespace {

enum : DWORD { kPickedPathCapacity = 16384 };

// The file-name buffers of the two file-open dialogs (interface thread).
wchar_t g_firstPath[kPickedPathCapacity];
wchar_t g_secondPath[kPickedPathCapacity];

bool AskForFile(wchar_t* path, const wchar_t* title)
{
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFile = path;
    dialog.nMaxFile = kPickedPathCapacity;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameW(&dialog) != 0;
}

void Warn(TextId text)
{
    MessageBoxW(nullptr, UiText(text), kMessageCaption, MB_OK | MB_ICONWARNING);
}

const TextId kProblemTexts[] = {
    TEXT_ID_COUNT, // no problem: nothing to tell
    TEXT_PAIR_MISMATCH,
    TEXT_ORIGINAL_BELOW_16896,
    TEXT_SHORT_READ,
    TEXT_SAME_DATA,
};
static_assert(sizeof kProblemTexts / sizeof kProblemTexts[0] == PAIR_PROBLEM_COUNT,
              "one text per PairProblem");

} // namespace

Status DeriveKeyFromPair()
{
    ClearReferenceTrailer();
    g_firstPath[0] = 0;
    if (!AskForFile(g_firstPath, UiText(TEXT_FIRST_DIALOG_TITLE)))
        return RC_FAILED;
    if (!Failed(LoadKeyFile(g_firstPath))) {
        if (MessageBoxW(nullptr, UiText(TEXT_PICKED_FILE_IS_KEY), kMessageCaption,
                        MB_YESNO | MB_ICONQUESTION) == IDYES)
            return RC_OK;
        ClearReferenceTrailer();
    }

    Status status = RC_FAILED;
    PairProblem problem = PAIR_NO_PROBLEM;
    HANDLE locked = INVALID_HANDLE_VALUE;
    HANDLE original = OpenForReading(g_firstPath);
    if (original == INVALID_HANDLE_VALUE) {
        Warn(TEXT_CANNOT_OPEN);
        return RC_FAILED;
    }
    if (FileSize(original) < kPlainHeadLength) {
        Warn(TEXT_ORIGINAL_BELOW_4096);
        status = RC_RETRY;
        goto out;
    }

    ProposeLockedPath(g_secondPath, kPickedPathCapacity, g_firstPath);
    if (!AskForFile(g_secondPath, UiText(TEXT_SECOND_DIALOG_TITLE)))
        goto out;
    locked = OpenForReading(g_secondPath);
    if (locked == INVALID_HANDLE_VALUE) {
        Warn(TEXT_CANNOT_OPEN);
        goto out;
    }
    status = KeyFromFilePair(original, locked, &problem);

out:
    if (locked != INVALID_HANDLE_VALUE)
        CloseHandle(locked);
    CloseHandle(original);
    if (problem != PAIR_NO_PROBLEM)
        Warn(kProblemTexts[problem]);
    return status;
}
