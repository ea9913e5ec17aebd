// Small wrappers over the Win32 file calls that the recovery core repeats.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/path.h"
#include "core/status.h"

enum : uint32_t {
    // The longest path a file dialog gives, in the \\?\ form.
    kOpenPathCapacity = 16384 + kExtendedPathRoom,
};

// The path as a full path in the \\?\ form, in buffer (capacity characters,
// the terminator included), so that it may pass 260 characters: a path in
// that form already is copied as it is; any other is completed by
// GetFullPathNameW (against the current folder when relative) and prefixed.
// RC_PATH_TOO_LONG when the result does not fit, RC_FAILED when the path
// cannot be completed.
Status MakeLongPath(const wchar_t* path, wchar_t* buffer, uint32_t capacity, size_t* length);

// Opens an existing file for reading; others may go on reading and deleting
// it. A path that fits kOpenPathCapacity is opened in the \\?\ form, so that
// the files picked in a dialog and the key file beside a program in a deep
// folder open also past 260 characters.
HANDLE OpenForReading(const wchar_t* path);

// Opens an existing file for reading and holds it: others may go on reading
// it, but may neither write, rename nor delete it while the handle is open,
// so that what is later read by name (a copy) is this very file. Opened in
// the \\?\ form as OpenForReading does.
HANDLE OpenAndHold(const wchar_t* path);

// Reads until size bytes are in or the file ends, and puts the number read
// in *count: fewer than size only at the end of the file. False when a read
// fails: bytes that were not read must not pass for the end of the file.
bool ReadUntilFullOrEnd(HANDLE file, void* buffer, DWORD size, DWORD* count);

// The file's size, or -1 when it cannot be had.
int64_t FileSize(HANDLE file);

bool SeekTo(HANDLE file, int64_t offset, DWORD origin);
