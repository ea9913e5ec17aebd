// Figure 3: the decryption of a set of locked files against CopyFileW of
// the same files to fresh names, and where the decryption's time goes.
//
// The two are interleaved file by file, not run by run: a run over a set
// takes seconds, and on a shared machine the load of others changes within
// seconds, while from one file to the next it hits both alike.
#pragma once

#include <string>
#include <vector>

#include "bench/trees.h"

// Seconds per round (one pass over the set) of each measured operation,
// summed over the files.
struct StepTimes {
    std::string name;
    std::vector<double> seconds;
};

struct DecryptionTimes {
    std::vector<double> copy;    // CopyFileW(locked, fresh name, fail if it exists): the floor
    std::vector<double> decrypt; // DecryptLockedFile, as the walk calls it
    // The decryption's steps, each done on its own, in the decryptor's order.
    std::vector<StepTimes> steps;
};

// `rounds` passes over the set after one to warm up; every output is
// removed after each pass. The key in g_key must be the set's. False when
// an operation failed (no decrypted copy, no copy).
bool MeasureDecryption(const LockedSet& set, Layout layout, int rounds, DecryptionTimes* times);
