// The keystream that was XORed over the head of every locked file, and the
// key file "felnox1.key" that may hold it.
//
// A key file comes in two forms:
//   form A (trailer layout): N bytes of keystream, the trailer body, the
//           16-byte footer giving N, and 4 bytes not interpreted;
//   form B (plain layout):   exactly 4096 bytes of keystream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"
#include "core/trailer.h"

inline constexpr wchar_t kKeyFileName[] = L"felnox1.key";

enum : uint32_t {
    kKeystreamCapacity = 32768,
    kPlainHeadLength = 4096,
    kKeyFileMinSize = 4096,
    kKeyFileMaxSize = 33292, // 32768 bytes of keystream + a 512-byte trailer + 12
};

struct KeyState {
    uint8_t keystream[kKeystreamCapacity];
    uint32_t keystreamLength;
    TrailerInfo reference; // all zero for the plain layout
};

// RC_OK when the last path component is felnox1.key (ASCII case ignored),
// RC_NOT_KEY_NAME when it is another name, RC_FAILED when there is no '\'.
Status CheckKeyFileName(const wchar_t* path);

// Takes the key from the whole contents of a key file. Writes *key only on RC_OK.
Status ParseKeyFile(const uint8_t* data, uint32_t size, KeyState* key);

// True when a file of this size cannot be locked with the key: in the
// trailer layout it is shorter than the trailer it would end in. The walk
// knows every size before it opens the file, and skipping these saves an
// open and a read for each small file of a drive.
bool TooSmallToBeLocked(const KeyState& key, uint64_t size);

// dst[i] ^= src[i] for i below count: enciphers and deciphers alike.
void XorBytes(uint8_t* dst, const uint8_t* src, uint32_t count);

// Reads a key file into the process-wide key. The key is unchanged on failure.
Status LoadKeyFile(const wchar_t* path);

// Puts the process-wide key back to the plain layout's reference (no
// trailer), so that a file pair never inherits the trailer of an earlier
// attempt or of a key file the user declined.
void ClearReferenceTrailer();
