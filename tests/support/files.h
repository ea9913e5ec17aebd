// File helpers for the tests: scratch folders and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// A new, empty folder under the temporary folder, unique to this call.
std::wstring MakeScratchFolder(const wchar_t* tag);
// A path without the \\?\ prefix, as a user types it and the program shows it.
std::wstring Plain(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// Folders of `levels` names of `length` characters (a, b, c, ...), one in
// the other, below root; returns the deepest. For paths past 260 characters.
std::wstring MakeDeepFolder(const std::wstring& root, int levels, size_t length);

Bytes ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const Bytes& bytes);
bool Exists(const std::wstring& path);

// The names in a folder (not . and ..), sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Deterministic pseudo-random bytes.
Bytes RandomBytes(size_t count, uint32_t seed);

// For readable assertion messages.
std::string Narrow(const std::wstring& text);
