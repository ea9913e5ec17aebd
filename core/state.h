// Process-wide state of the recovery core.
//
// g_key is written on the interface thread (from a key file or a file pair)
// and is complete before the scan thread exists; from then on the scan
// thread only reads it. No lock is needed: there is one key and one scan
// per process. The decryption buffers are used by the scan thread alone.
// The key file's contents and the two 64 KiB blocks in which a file pair is
// compared are private to key_win.cpp and pair_win.cpp, on the interface
// thread.
#pragma once

#include <cstdint>

#include "core/key.h"

enum : uint32_t {
    kMaxHeadLength = 1048576,       // the longest head a locked file may announce
    kPathCapacity = 32768 + 262,    // a directory path, '\', an entry name and its terminator
    kNumberedSuffixLength = 12,     // ".decrypted" and two digits
};

extern KeyState g_key;

// KeyFromFilePair: the locked copy's head, XORed with the original's.
extern uint8_t g_lockedHead[kKeystreamCapacity];

// DecryptLockedFile: the head of the file in hand, and its output path.
extern uint8_t g_headBuffer[kMaxHeadLength];
extern wchar_t g_outputPath[kPathCapacity + kNumberedSuffixLength];
