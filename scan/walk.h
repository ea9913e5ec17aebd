// The walk over a directory tree, and the scan targets built on it.
#pragma once

#include "core/status.h"

// buffer holds a directory's path and has room for kPathCapacity characters.
// Visits every file below it, depth first, hands each to DecryptLockedFile,
// counts the results and moves the display. RC_PATH_TOO_LONG for a path of
// more than 32768 characters, else RC_OK.
Status WalkDirectory(wchar_t* buffer);

// The command-line argument: a drive (X:, X:\, \\?\X:, \\.\X:) or a folder.
Status ScanPath(const wchar_t* path);
// Every drive but optical ones, from A to Z. Always RC_OK.
Status ScanAllDrives();
// One drive, with progress measured against the bytes in use on it.
Status ScanDrive(wchar_t letter);
