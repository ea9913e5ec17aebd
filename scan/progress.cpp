#include "scan/progress.h"

namespace {

// floor(a × 2^8 / d) for a < d, by eight steps of binary long division that
// never leave 64 bits; *remainder gets a × 2^8 − result × d (less than d).
uint32_t ScaleBy256(uint64_t a, uint64_t d, uint64_t* remainder)
{
    uint32_t result = 0;
    uint64_t r = a; // invariant: r < d
    for (int bit = 0; bit < 8; ++bit) {
        result <<= 1;
        if (r >= d - r) { // 2r >= d, without computing 2r
            r -= d - r;   // 2r - d
            result |= 1;
        } else {
            r += r;
        }
    }
    *remainder = r;
    return result;
}

} // namespace

uint32_t DriveBarPosition(uint64_t processed, uint64_t total)
{
    if (total == 0 || processed > total)
        return kBarMaximum;
    if (processed == total)
        return kBarMaximum + 1;
    uint64_t remainder;
    return ScaleBy256(processed, total, &remainder);
}

uint32_t FolderBarPosition(uint64_t processed, uint64_t total)
{
    if (processed >= total)
        return kBarMaximum;
    // a × 255 = a × 256 − a, so with q = floor(a × 256 / d) and its
    // remainder r: floor(a × 255 / d) = q when r >= a, else q − 1 (a < d).
    uint64_t remainder;
    const uint32_t q = ScaleBy256(processed, total, &remainder);
    return remainder >= processed ? q : q - 1;
}

uint32_t BarPosition(const ScanCounters& counters)
{
    if (!counters.folderMode)
        return DriveBarPosition(counters.processedBytes, counters.totalBytes);
    if (counters.filesSeen == 0 || counters.filesDecrypted == 0)
        return 0;
    return FolderBarPosition(counters.processedBytes, counters.totalBytes);
}

uint64_t DriveDenominator(bool spaceKnown, uint64_t totalBytes, uint64_t freeBytes)
{
    const uint64_t used = spaceKnown && totalBytes > freeBytes ? totalBytes - freeBytes : 0;
    return used == 0 ? 1 : used;
}

bool DisplayDue(DisplayPace* pace, uint64_t nowMs)
{
    if (pace->shownAny && nowMs - pace->lastShownMs < kDisplayIntervalMs)
        return false;
    *pace = {nowMs, true};
    return true;
}
