// Small wrappers over the Win32 file calls that the recovery core repeats.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens an existing file for reading; others may go on reading and deleting it.
HANDLE OpenForReading(const wchar_t* path);

// Reads until size bytes are in or the file ends, and puts the number read
// in *count: fewer than size only at the end of the file. False when a read
// fails: bytes that were not read must not pass for the end of the file.
bool ReadUntilFullOrEnd(HANDLE file, void* buffer, DWORD size, DWORD* count);

// The file's size, or -1 when it cannot be had.
int64_t FileSize(HANDLE file);

bool SeekTo(HANDLE file, int64_t offset, DWORD origin);
