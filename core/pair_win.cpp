#include "core/pair_win.h"

#include <cstring>

#include "core/file_win.h"
#include "core/state.h"

namespace {

enum : DWORD {
    kBlockSize = 65536,
    kPlainUnchangedFrom = 4096,  // locking leaves the plain layout's bytes from here on
    kMinPairFileSize = 4096,
    kMaxSizeDifference = 1024,   // more than any trailer adds
    kTrailerSearchLength = 4096, // the end of the longer file, where its trailer lies
    kMinReferenceHead = 4,
};

uint8_t scratchA[kBlockSize];
uint8_t scratchB[kBlockSize];

// Plain layout: equal sizes, equal bytes from offset 4096 to the end.
bool TailsMatch(HANDLE a, HANDLE b)
{
    if (!SeekTo(a, kPlainUnchangedFrom, FILE_BEGIN) || !SeekTo(b, kPlainUnchangedFrom, FILE_BEGIN))
        return false;
    for (;;) {
        DWORD countA = 0;
        DWORD countB = 0;
        if (!ReadUntilFullOrEnd(a, scratchA, kBlockSize, &countA) ||
            !ReadUntilFullOrEnd(b, scratchB, kBlockSize, &countB) || countA != countB)
            return false;
        if (countA == 0)
            return true;
        if (memcmp(scratchA, scratchB, countA) != 0)
            return false;
    }
}

// Trailer layout: the longer file ends in a trailer whose head length N is
// one a key can have, and both files agree from N to the end of the shorter.
bool TrailerPairMatches(HANDLE a, int64_t sizeA, HANDLE b, int64_t sizeB)
{
    HANDLE locked = sizeA > sizeB ? a : b;
    TrailerInfo trailer = {};
    DWORD count = 0;
    if (!SeekTo(locked, -int64_t(kTrailerSearchLength), FILE_END) ||
        !ReadUntilFullOrEnd(locked, scratchA, kTrailerSearchLength, &count) ||
        count < kTrailerSearchLength)
        return false;
    if (Failed(ParseTrailer(scratchA, kTrailerSearchLength, &trailer)))
        return false;

    const uint32_t head = trailer.headLength;
    if (head < kMinReferenceHead || head > kKeystreamCapacity || head > sizeA || head > sizeB)
        return false;
    if (!SeekTo(a, head, FILE_BEGIN) || !SeekTo(b, head, FILE_BEGIN))
        return false;
    for (int64_t remaining = (sizeA < sizeB ? sizeA : sizeB) - head; remaining > 0;) {
        const DWORD asked = remaining < kBlockSize ? DWORD(remaining) : kBlockSize;
        DWORD countA = 0;
        DWORD countB = 0;
        // A file that ended early (it shrank) has not shown the bytes it should agree on.
        if (!ReadUntilFullOrEnd(a, scratchA, asked, &countA) ||
            !ReadUntilFullOrEnd(b, scratchB, asked, &countB) || countA != asked || countB != asked)
            return false;
        if (memcmp(scratchA, scratchB, asked) != 0)
            return false;
        remaining -= asked;
    }
    g_key.reference = trailer;
    return true;
}

} // namespace

bool FilesMatch(HANDLE a, HANDLE b)
{
    // A size that cannot be had comes back as -1 and so never matches.
    const int64_t sizeA = FileSize(a);
    const int64_t sizeB = FileSize(b);
    if (sizeA < kMinPairFileSize || sizeB < kMinPairFileSize)
        return false;
    if (sizeA == sizeB)
        return TailsMatch(a, b);
    const int64_t difference = sizeA > sizeB ? sizeA - sizeB : sizeB - sizeA;
    if (difference >= kMaxSizeDifference)
        return false;
    return TrailerPairMatches(a, sizeA, b, sizeB);
}
