// The trees the benchmark measures on, written through Win32 like any
// user's files, and the keys that go with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.h"

enum class Layout { kPlain, kTrailer };

enum : uint32_t {
    kBenchHead = 4096,      // head length of the trailer layout, as long as the plain layout's
    kBenchBodyLength = 120, // trailer body; the trailer is 136 bytes
    kBenchTrailer = kBenchBodyLength + 16,
};

// The key file of the layout, as the ransomware's victims would have it.
Bytes BenchKeyFile(Layout layout);

bool WriteFileBytes(const std::wstring& path, const uint8_t* data, size_t size);
bool MakeFolder(const std::wstring& path);

struct TreeShape {
    size_t files = 0;
    size_t folders = 0;
    size_t tinyFiles = 0; // smaller than the trailer, so never locked in the trailer layout
    uint64_t bytes = 0;
    size_t Entries() const { return files + folders; }
};

// Ordinary files only, none of them locked: three levels of ten folders,
// the files in the thousand deepest ones. Every tenth file is tiny (0 to
// 135 bytes), the others 136 bytes to 8 KiB.
bool MakeOrdinaryTree(const std::wstring& root, size_t files, TreeShape* shape);

struct LockedSet {
    TreeShape shape;
    std::vector<std::wstring> locked;  // every locked file
    std::vector<std::wstring> outputs; // the decrypted copy of each, where it will be
};

// `count` locked files of `size` bytes each (trailer included), `perFolder`
// to a folder below root. The decrypted copy of a plain-layout file drops
// "locked-" and the suffix from its name; in the trailer layout, where the
// locked file keeps its name, it takes the first numbered name.
bool MakeLockedSet(const std::wstring& root, Layout layout, size_t count, size_t size,
                   size_t perFolder, LockedSet* set);

// The tree of a full drive's scan: `entries` files and folders in all, the
// folders as in MakeOrdinaryTree, the files empty (their sizes do not matter
// to a scan with a plain-layout key, and a million of them fit in the page
// cache) but one in a thousand, which is locked in the plain layout (4 KiB),
// so that the bar moves.
bool MakeScaleTree(const std::wstring& root, size_t entries, TreeShape* shape,
                   std::vector<std::wstring>* outputs);

// A folder of `files` ordinary files in folders of 200, one in a hundred of
// them locked in the plain layout (4 KiB): enough for the bar to move.
bool MakeDisplayTree(const std::wstring& root, size_t files, TreeShape* shape,
                     std::vector<std::wstring>* outputs);

// Deletes every path; false if one of them was missing or stays.
bool DeleteAll(const std::vector<std::wstring>& paths);

// The name of a decrypted copy beside the locked file at `path`, as the
// decryptor makes it when no other copy exists yet.
std::wstring OutputPathFor(Layout layout, const std::wstring& path);
