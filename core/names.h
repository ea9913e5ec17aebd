// Name rules of locked files and of their decrypted copies.
#pragma once

#include <cstddef>
#include <cstdint>

enum : size_t {
    kLockedPrefixLength = 7,   // "locked-"
    kLockedSuffixLength = 5,   // a dot and four characters
    kMaxCopyNumber = 98,       // .decrypted01 ... .decrypted98
    // "~felnox1-", the process id in eight hex digits, '-' and the attempt
    // in two: two runs at once never meet on a name.
    kTemporaryNameLength = 20,
    // The form of earlier versions: "~felnox1-" and four hex digits. A copy
    // a killed run of theirs left is still known.
    kOldTemporaryNameLength = 13,
    kTemporaryNameAttempts = 16,
};

// Plain layout: "locked-" + the original name + "." + four characters,
// the prefix compared with exact case (locked-report.doc.abcd).
bool IsLockedName(const wchar_t* name, size_t length);

// Writes the name of an output file into dst (with its terminator) and
// returns its length, or 0 when it does not fit in capacity characters.
// Attempt 0 is the name itself; attempt k (1 to 98) is
// base.decryptedKK.extension, split at the name's last dot.
size_t FormatOutputName(wchar_t* dst, size_t capacity, const wchar_t* name, size_t length,
                        unsigned attempt);

// The name under which a copy is built before it takes its own:
// "~felnox1-", the process id in eight lowercase hex digits, '-', and the
// attempt (below kTemporaryNameAttempts) in two. A process builds one copy
// at a time, so its names are its own. Writes it with its terminator and
// returns its length, or 0 when it does not fit in capacity characters or
// the attempt is out of range.
size_t FormatTemporaryName(wchar_t* dst, size_t capacity, uint32_t process, uint32_t attempt);

// True for a name that FormatTemporaryName makes, and for the shorter form
// of earlier versions. A file under such a name is a copy that was being
// built when the program was stopped: it is never taken for a locked file.
bool IsTemporaryName(const wchar_t* name, size_t length);

// Proposes the locked copy of the original at `original` for the second file
// dialog: the same folder, "locked-" before the file name. The copy is left
// unchanged when the path has no '\', the name is 267 characters or longer,
// or the longer path would not fit. Returns the length written.
size_t ProposeLockedPath(wchar_t* dst, size_t capacity, const wchar_t* original);
