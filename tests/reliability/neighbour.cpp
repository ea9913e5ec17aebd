// Acts as a sync client, a backup agent or an indexer does, for the fault
// tests:
//
//   felnox_neighbour FOLDER READY STOP HELD
//
// Watches FOLDER and opens every file that appears in it (created or renamed
// into it) for reading, sharing only reading, and holds it for 300 to
// 500 ms; a file still being written, which refuses it for sharing, is
// tried again at once, so that it is taken the moment its writer lets go.
// Sets the named event READY once it watches, the named event HELD each
// time it holds a file under a temporary name of the decryptor's, and ends
// when the named event STOP is set. Its exit code is the number of such
// files it held, 1000 and more when it failed.
#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {

enum : size_t { kMaxHeld = 64 };
enum : DWORD { kTryFor = 2000 };

struct Held {
    HANDLE file;
    ULONGLONG until;
};

Held g_held[kMaxHeld];
size_t g_heldCount;
DWORD g_changes[16384];

void ReleaseDue()
{
    const ULONGLONG now = GetTickCount64();
    for (size_t i = 0; i < g_heldCount;) {
        if (g_held[i].until <= now) {
            CloseHandle(g_held[i].file);
            g_held[i] = g_held[--g_heldCount];
        } else {
            ++i;
        }
    }
}

// Opens the file as soon as it lets itself be opened; false when it is
// gone or still refuses after a while.
bool OpenAndHold(const wchar_t* path)
{
    const ULONGLONG since = GetTickCount64();
    HANDLE file;
    while ((file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) ==
               INVALID_HANDLE_VALUE &&
           GetLastError() == ERROR_SHARING_VIOLATION && GetTickCount64() - since < kTryFor) {
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    if (g_heldCount == kMaxHeld) {
        CloseHandle(file);
        return false;
    }
    g_held[g_heldCount++] = {file, GetTickCount64() + 300 + GetTickCount64() % 201};
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 1000;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
    HANDLE folder = CreateFileW(argv[1], FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready || !stop || !held || folder == INVALID_HANDLE_VALUE || !overlapped.hEvent)
        return 1001;
    const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME;
    if (!ReadDirectoryChangesW(folder, g_changes, sizeof g_changes, FALSE, filter, nullptr, &overlapped, nullptr))
        return 1002;
    SetEvent(ready);

    int heldTemporaries = 0;
    wchar_t path[MAX_PATH];
    HANDLE events[] = {stop, overlapped.hEvent};
    while (WaitForMultipleObjects(2, events, FALSE, 1) != WAIT_OBJECT_0) {
        ReleaseDue();
        DWORD size = 0;
        if (!GetOverlappedResult(folder, &overlapped, &size, FALSE))
            continue;
        for (const uint8_t* at = reinterpret_cast<const uint8_t*>(g_changes); size != 0;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                const int length = int(change->FileNameLength / sizeof(wchar_t));
                swprintf(path, MAX_PATH, L"%ls\\%.*ls", argv[1], length, change->FileName);
                if (OpenAndHold(path) && wcsncmp(change->FileName, L"~felnox1-", 9) == 0) {
                    ++heldTemporaries;
                    SetEvent(held);
                }
            }
            if (change->NextEntryOffset == 0)
                break;
            at += change->NextEntryOffset;
        }
        ResetEvent(overlapped.hEvent);
        if (!ReadDirectoryChangesW(folder, g_changes, sizeof g_changes, FALSE, filter, nullptr, &overlapped,
                                   nullptr))
            return 1003;
    }
    for (size_t i = 0; i < g_heldCount; ++i)
        CloseHandle(g_held[i].file);
    CancelIo(folder);
    CloseHandle(folder);
    CloseHandle(overlapped.hEvent);
    CloseHandle(ready);
    CloseHandle(stop);
    CloseHandle(held);
    return heldTemporaries;
}
