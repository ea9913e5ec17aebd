// What a command-line argument asks to scan, and the volume root of a
// path. Pure string work: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/path.h"

enum : uint32_t {
    kMaxDirectoryPath = 32768, // the longest directory path the walk accepts
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

// Drops the '"' that ends the argument, if one does. Shortcuts and batch
// files quote a folder that ends in '\' ("D:\", "%~dp0"), and the splitting
// of the command line reads its closing \" as an escaped quote, giving D:"
// and C:\My Files". No path ends in '"': the argument meant the folder.
void DropTrailingQuote(wchar_t* argument);

// The length of the volume root that begins the path, with its separator:
// 3 for X:\..., 7 for \\?\X:\... (or \\.\X:\...), up to the separator
// after the share for \\server\share\... and \\?\UNC\server\share\...,
// up to the separator after the volume name for \\?\Volume{...}\...;
// 0 when the path has no such root (a relative path, or one that ends
// before the separator).
size_t VolumeRootLength(const wchar_t* path, size_t length);
