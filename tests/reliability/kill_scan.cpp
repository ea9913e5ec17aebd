// The decryption and the walk of a run, without the window, for the kill
// tests:
//
//   felnox_kill_scan LAYOUT FOLDER [STEP FILE PARKED | START]
//
// LAYOUT "plain" or "trailer" picks the test key of that layout. Scans the
// folder as the program scans its argument; exits with the count. With
// START, it scans once the named event START is set. With
// STEP, the scan parks for good at that step of the FILE-th file it
// decrypts (1 for the first), sets the named event PARKED and waits there
// to be killed, so that the kill lands at a known step whatever the
// machine's speed. The steps:
//   copying    the whole-file copy half-way: its first half written
//   copied     the copy complete, its head still locked
//   decrypted  its head decrypted, the rest (the cut, the name) not done
//   named      under its final name, still open
#include <windows.h>

#include <cwchar>

#include "scan/state.h"
#include "scan/walk.h"
#include "tests/support/imports.h"
#include "tests/support/tree.h"

namespace {

enum class Step { kNone, kCopying, kCopied, kDecrypted, kNamed };

Step g_step = Step::kNone;
unsigned g_file = 0;
HANDLE g_parked = nullptr;

decltype(&CopyFileExW) g_copyFile;
decltype(&WriteFile) g_writeFile;
decltype(&SetFileInformationByHandle) g_setInformation;

// Counts the step's calls and parks at the chosen one.
void Reached(Step step)
{
    if (step != g_step || --g_file != 0)
        return;
    SetEvent(g_parked);
    Sleep(INFINITE);
}

// Cuts the copy to its first half, as a copy stopped half-way leaves it.
void CutToHalf(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (GetFileSizeEx(file, &size)) {
        size.QuadPart /= 2;
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
}

BOOL WINAPI CopyFileAndPark(const wchar_t* from, const wchar_t* to, LPPROGRESS_ROUTINE progress, void* data,
                            BOOL* cancel, DWORD flags)
{
    const BOOL copied = g_copyFile(from, to, progress, data, cancel, flags);
    if (copied && g_step == Step::kCopying && g_file == 1)
        CutToHalf(to);
    if (copied) {
        Reached(Step::kCopying);
        Reached(Step::kCopied);
    }
    return copied;
}

BOOL WINAPI WriteFileAndPark(HANDLE file, const void* bytes, DWORD count, DWORD* written, OVERLAPPED* overlapped)
{
    const BOOL done = g_writeFile(file, bytes, count, written, overlapped);
    if (done)
        Reached(Step::kDecrypted);
    return done;
}

BOOL WINAPI SetInformationAndPark(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* information, DWORD size)
{
    const BOOL done = g_setInformation(file, kind, information, size);
    if (done && kind == FileRenameInfo)
        Reached(Step::kNamed);
    return done;
}

bool ParkAt(const wchar_t* step, const wchar_t* file, const wchar_t* parked)
{
    const wchar_t* names[] = {L"copying", L"copied", L"decrypted", L"named"};
    for (int i = 0; i < 4; ++i)
        if (wcscmp(step, names[i]) == 0)
            g_step = Step(i + 1);
    g_file = unsigned(_wtoi(file));
    g_parked = OpenEventW(EVENT_MODIFY_STATE, FALSE, parked);
    g_copyFile = reinterpret_cast<decltype(g_copyFile)>(
        ReplaceImport("CopyFileExW", reinterpret_cast<void*>(CopyFileAndPark)));
    g_writeFile = reinterpret_cast<decltype(g_writeFile)>(
        ReplaceImport("WriteFile", reinterpret_cast<void*>(WriteFileAndPark)));
    g_setInformation = reinterpret_cast<decltype(g_setInformation)>(
        ReplaceImport("SetFileInformationByHandle", reinterpret_cast<void*>(SetInformationAndPark)));
    return g_step != Step::kNone && g_file > 0 && g_parked && g_copyFile && g_writeFile && g_setInformation;
}

bool WaitToStart(const wchar_t* start)
{
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, start);
    const bool set = event && WaitForSingleObject(event, 120000) == WAIT_OBJECT_0;
    if (event)
        CloseHandle(event);
    return set;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 && !(argc == 6 && ParkAt(argv[3], argv[4], argv[5])) && !(argc == 4 && WaitToStart(argv[3])))
        return -1;
    UseLayoutKey(wcscmp(argv[1], L"trailer") == 0 ? Layout::kTrailer : Layout::kPlain);
    ScanPath(argv[2]);
    return int(g_counters.filesDecrypted);
}
