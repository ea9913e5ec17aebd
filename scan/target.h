// What a command-line argument asks to scan, and the full \\?\ form of a
// folder path. Pure string work: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    kMaxDirectoryPath = 32768, // the longest directory path the walk accepts
    // Room kept before a full path so that it can become \\?\X:\... (4 more
    // characters) or \\?\UNC\server\... (6 more) in place.
    kExtendedPathRoom = 8,
};

enum class ScanTarget {
    kNothing, // empty, or separators only
    kDrive,   // X:, X:\, X:/, X: with several separators, \\?\X:, \\.\X:, each with any trailing separators
    kFolder,  // anything else
};

// Classifies the argument as given, before any conversion: trailing '\' and '/' are discounted, then a length of
// 2 with ':' second is the drive of the first character, and a length of 6
// of the form \\?\X: (any third character) is the drive of the fifth.
// *letter is written for kDrive only.
ScanTarget ClassifyScanPath(const wchar_t* path, wchar_t* letter);

// True when the path is in the \\?\ form already and is to be used as it is.
bool IsExtendedPath(const wchar_t* path);

// The length of the volume root that begins the path, with its separator:
// 3 for X:\..., 7 for \\?\X:\... (or \\.\X:\...), up to the separator
// after the share for \\server\share\... and \\?\UNC\server\share\...,
// up to the separator after the volume name for \\?\Volume{...}\...;
// 0 when the path has no such root (a relative path, or one that ends
// before the separator).
size_t VolumeRootLength(const wchar_t* path, size_t length);

// Turns the full path (as GetFullPathNameW makes it) that lies at
// buffer + kExtendedPathRoom, fullLength characters and its terminator,
// into its \\?\ form at the start of buffer, with the terminator:
//   C:\dir          -> \\?\C:\dir
//   \\server\share  -> \\?\UNC\server\share
//   \\.\C:\dir      -> \\?\C:\dir   (the same object, in the \\?\ form)
//   \\?\C:\dir      -> unchanged
// Returns the new length.
size_t MakeExtendedPath(wchar_t* buffer, size_t fullLength);
