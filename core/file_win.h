// Small wrappers over the Win32 file calls that the recovery core repeats.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens an existing file for reading; others may go on reading and deleting it.
HANDLE OpenForReading(const wchar_t* path);

// Reads until size bytes are in or the file ends; a failed read ends it too.
// Returns the number of bytes read.
DWORD ReadUpTo(HANDLE file, void* buffer, DWORD size);

// The file's size, or -1 when it cannot be had.
int64_t FileSize(HANDLE file);

bool SeekTo(HANDLE file, int64_t offset, DWORD origin);
