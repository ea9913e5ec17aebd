// Path forms: the \\?\ form the program opens files by, so that a path may
// pass 260 characters, and the form users write. Pure string work: no
// Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    // Room kept before a full path so that it can become \\?\X:\... (4 more
    // characters) or \\?\UNC\server\... (6 more) in place.
    kExtendedPathRoom = 8,
};

// True when the path is in the \\?\ form already and is to be used as it is.
bool IsExtendedPath(const wchar_t* path);

// True when the first length characters of text begin with "UNC\", in any
// case: what follows \\?\ in the extended form of \\server\share.
bool StartsWithUnc(const wchar_t* text, size_t length);

// Turns the full path (as GetFullPathNameW makes it) that lies at
// buffer + kExtendedPathRoom, fullLength characters and its terminator,
// into its \\?\ form at the start of buffer, with the terminator:
//   C:\dir          -> \\?\C:\dir
//   \\server\share  -> \\?\UNC\server\share
//   \\.\C:\dir      -> \\?\C:\dir   (the same object, in the \\?\ form)
//   \\?\C:\dir      -> unchanged
// Returns the new length.
size_t MakeExtendedPath(wchar_t* buffer, size_t fullLength);

// The path as users write it, for what the user reads: \\?\X:... becomes
// X:..., \\?\UNC\server\... becomes \\server\...; any other path (a plain
// one, \\?\Volume{...}\...) stays as it is. Writes it with its terminator
// into dst, which holds at least as many characters as the path and its
// terminator (the user form is never longer), and returns its length.
size_t MakeUserPath(wchar_t* dst, const wchar_t* path);
