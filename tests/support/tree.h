// Trees of locked and ordinary files for the scan's tests, and snapshots
// of every file's bytes to prove that a scan changed nothing but what it
// was meant to add.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tests/support/files.h"

enum class Layout { kPlain, kTrailer };

// Puts the key of the layout into g_key; LockedBytes uses the same keystream.
void UseLayoutKey(Layout layout);
Bytes LockedBytes(Layout layout, const Bytes& original);

// The name of the decrypted copy that a locked file named `name` gets when
// `taken` of the names tried before are taken: the plain layout strips
// "locked-" and the suffix first; the trailer layout always finds its own
// name taken, by the locked file itself. For tests whose names vary; the
// generated tree's copies have their names written out.
std::wstring OutputName(Layout layout, const std::wstring& lockedName, unsigned taken = 0);

// Relative path (from the tree's root, no leading '\') -> bytes.
typedef std::map<std::wstring, Bytes> Snapshot;

// Every file below root, not following links to directories.
Snapshot TakeSnapshot(const std::wstring& root);

struct GeneratedTree {
    Snapshot outputs;  // the decrypted copies a scan must add, and their bytes
    size_t files = 0;  // files written
    size_t entries = 0; // files and directories below the root
};

// Writes about fileCount files into nested folders below root (which must
// exist): locked files of the layout (about a third), ordinary files and
// near misses that must be left alone, names beginning with dots, in
// Cyrillic and in CJK, hidden, system and read-only attributes, and a
// chain of folders whose paths pass 260 characters.
GeneratedTree GenerateTree(const std::wstring& root, Layout layout, size_t fileCount, uint32_t seed);

// A scan of the tree added exactly the expected copies and changed nothing else.
void ExpectOnlyOutputsAdded(const Snapshot& before, const Snapshot& after, const Snapshot& outputs);

// Writes the file and gives it the attributes (0: leave them).
void WriteFileWithAttributes(const std::wstring& path, const Bytes& bytes, uint32_t attributes);
