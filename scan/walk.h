// The walk over a directory tree, and the scan targets built on it. All of
// them run on the scan thread, one at a time.
#pragma once

#include <cstdint>

#include "core/status.h"

// A file this large takes long enough to copy (a tenth of a second on a fast
// disk, seconds on a share) that the status line names it before its copy.
enum : uint64_t { kLongCopyBytes = 16u << 20 };

// buffer holds a directory's path and has room for kPathCapacity characters.
// Visits every file below it, depth first, hands each to DecryptLockedFile,
// counts the results and moves the display: at most once per display
// interval, before the copy of a file of kLongCopyBytes or more, and when it
// returns the display shows its last update.
// RC_PATH_TOO_LONG for a path of more than 32768 characters, RC_EMPTY_PATH
// for an empty one, else RC_OK.
// Returns at once, between two entries, when g_stopRequested is set. Follows
// links to directories, but never into a directory on its current path.
Status WalkDirectory(wchar_t* buffer);

// The command-line argument: a drive (X:, X:\, \\?\X:, \\.\X:, with any
// trailing separators) or a folder, which is first made a full path in the
// \\?\ form (relative paths against the current folder).
Status ScanPath(const wchar_t* path);
// The argument with a folder made a full path (in the \\?\ form) against
// the current folder now: the file dialogs change the current folder before
// the scan starts. Drives, and paths that cannot be made full, come back as
// given (ScanPath refuses them as it would). The result lives in a
// process-wide buffer until the next call.
wchar_t* MakeArgumentFull(wchar_t* argument);

// The scan of a run, on the scan thread: the path given (as ScanPath takes
// it), or every drive when it is null. The thread fails the system's
// critical-error boxes ("There is no disk in the drive") from then on.
Status RunScan(const wchar_t* path);

// Every drive but optical ones, from A to Z. Always RC_OK.
Status ScanAllDrives();
// One drive, with progress measured against the bytes in use on it.
// RC_DRIVE_SKIPPED when its device cannot be opened or it is optical.
Status ScanDrive(wchar_t letter);
