// The floors of figures 1 and 2: what the file system must do anyway for
// each file of a tree, written as plainly as Win32 allows.
#pragma once

#include <cstdint>
#include <string>

struct FloorWalk {
    uint64_t entries = 0;  // files and folders met
    uint64_t failures = 0; // files the floor's own work failed on
};

// Floor 1: FindFirstFileW/FindNextFileW over the tree, nothing else.
FloorWalk WalkOnly(const std::wstring& root);

// Floor 2: the same walk, and every file opened, its last `tail` bytes read
// (all of it when it is shorter) and closed.
FloorWalk WalkAndReadTails(const std::wstring& root, uint32_t tail);
