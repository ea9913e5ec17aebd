// The decryption and the walk of a run, without the window, for the kill
// tests to stop at any moment:
//
//   felnox_kill_scan LAYOUT FOLDER
//
// LAYOUT "plain" or "trailer" picks the test key of that layout. Scans the
// folder as the program scans its argument; exits with the count.
#include <windows.h>

#include <cwchar>

#include "scan/state.h"
#include "scan/walk.h"
#include "tests/support/tree.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return -1;
    UseLayoutKey(wcscmp(argv[1], L"trailer") == 0 ? Layout::kTrailer : Layout::kPlain);
    ScanPath(argv[2]);
    return int(g_counters.filesDecrypted);
}
