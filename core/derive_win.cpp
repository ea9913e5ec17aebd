#include "core/derive_win.h"

#include <cstring>

#include "core/file_win.h"
#include "core/pair_win.h"
#include "core/state.h"

namespace {
// The locked copy's head, XORed with the original's (interface thread).
uint8_t g_lockedHead[kKeystreamCapacity];
} // namespace

Status KeyFromFilePair(HANDLE original, HANDLE locked, PairProblem* problem)
{
    *problem = PAIR_NO_PROBLEM;
    if (!FilesMatch(original, locked)) {
        *problem = PAIR_NO_MATCH;
        return RC_FAILED;
    }

    uint32_t head = kPlainHeadLength;
    if (g_key.reference.headLength != 0) {
        if (FileSize(original) < kTrailerLayoutMinOriginal) {
            *problem = PAIR_ORIGINAL_TOO_SMALL;
            return RC_FAILED;
        }
        head = g_key.reference.headLength;
        if (head > kKeystreamCapacity)
            return RC_TRAILER_TOO_LONG;
    }

    DWORD originalRead = 0;
    DWORD lockedRead = 0;
    if (!SeekTo(original, 0, FILE_BEGIN) || !SeekTo(locked, 0, FILE_BEGIN) ||
        !ReadUntilFullOrEnd(original, g_key.keystream, head, &originalRead) ||
        originalRead < head || !ReadUntilFullOrEnd(locked, g_lockedHead, head, &lockedRead) ||
        lockedRead < head) {
        *problem = PAIR_SHORT_READ;
        return RC_FAILED;
    }
    if (memcmp(g_key.keystream, g_lockedHead, head) == 0) {
        *problem = PAIR_SAME_DATA;
        return RC_FAILED;
    }
    XorBytes(g_key.keystream, g_lockedHead, head);
    g_key.keystreamLength = head;
    return RC_OK;
}
