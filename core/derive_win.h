// The keystream from an original file and its locked copy (known plaintext).
#pragma once

#include <windows.h>

#include "core/status.h"

// What the user is to be told when a pair gives no key.
enum PairProblem {
    PAIR_NO_PROBLEM,
    PAIR_NO_MATCH,           // the two are not one file before and after locking
    PAIR_ORIGINAL_TOO_SMALL, // trailer layout: the original is below 16896 bytes
    PAIR_SHORT_READ,         // a head could not be read whole
    PAIR_SAME_DATA,          // the heads are equal: nothing was enciphered
    PAIR_PROBLEM_COUNT
};

enum : int64_t { kTrailerLayoutMinOriginal = 16896 };

// Checks that `locked` is `original` locked, learns the layout, and puts the
// XOR of the two heads into the process-wide key. Both file positions move.
// A head longer than the keystream can hold gives RC_TRAILER_TOO_LONG and no
// problem to tell; any other failure names its problem.
Status KeyFromFilePair(HANDLE original, HANDLE locked, PairProblem* problem);
