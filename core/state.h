// Process-wide state of the recovery core.
//
// g_key is written on the interface thread (from a key file or a file pair)
// and is complete before the scan thread exists; from then on the scan
// thread only reads it. No lock is needed: there is one key and one scan
// per process. Only core functions write it; the interface asks them to.
// The buffers of the decryption (scan thread), of the key file and of a
// file pair (interface thread) are private to the files that use them.
//
// g_stopRequested is set by the interface thread (Exit, logoff, shutdown)
// and read by the scan thread: by the walk between two files and by the
// decryption while it copies one, so that a copy of many gigabytes stops too.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/key.h"

enum : uint32_t {
    kPathCapacity = 32768 + 262, // a directory path, '\', an entry name and its terminator
};

extern KeyState g_key;
extern std::atomic<bool> g_stopRequested;
