// Any counters: a bar position stays in the bar's range, is full only at
// the end, never falls as more bytes are processed, and is the processed
// share rounded down (bracketed in 128-bit arithmetic); a drive's
// denominator is never 0 nor more than the volume. Any run of a monotonic
// clock: at most one update per interval goes to the window, and none is
// held longer. The worked examples are in tests/scan/progress_test.cpp.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "scan/progress.h"

namespace {

uint64_t Take64(const uint8_t* data)
{
    uint64_t value;
    memcpy(&value, data, sizeof value);
    return value;
}

// position / scale <= processed / total < (position + 1) / scale.
bool RoundsDownTheShare(uint32_t position, uint32_t scale, uint64_t processed, uint64_t total)
{
    typedef unsigned __int128 Wide;
    return Wide(position) * total <= Wide(processed) * scale &&
           Wide(processed) * scale < Wide(position + 1) * total;
}

// more >= processed: the same scan a little later.
void CheckDrive(uint64_t processed, uint64_t more, uint64_t total)
{
    const uint32_t position = DriveBarPosition(processed, total);
    if (position > 256 || (position == 256) != (processed == total && total != 0))
        abort(); // past the bar, or one past it other than exactly at the end
    if ((total == 0 || processed > total) && position != 255)
        abort();
    if (processed < total && !RoundsDownTheShare(position, 256, processed, total))
        abort();
    if (more <= total && DriveBarPosition(more, total) < position)
        abort();
}

void CheckFolder(uint64_t processed, uint64_t more, uint64_t total)
{
    const uint32_t position = FolderBarPosition(processed, total);
    if (processed < total ? !RoundsDownTheShare(position, 255, processed, total) || position > 254
                          : position != 255)
        abort();
    if (FolderBarPosition(more, total) < position)
        abort();
}

void CheckCounters(const ScanCounters& counters)
{
    const uint32_t position = BarPosition(counters);
    if (position > 256 || (counters.folderMode && position > 255))
        abort();
    if (counters.folderMode && (counters.filesSeen == 0 || counters.filesDecrypted == 0) &&
        position != 0)
        abort();
}

// At least 1, at most the volume, 1 when the space is unknown, and a volume
// with more free bytes has no more bytes in use.
void CheckDenominator(bool known, uint64_t total, uint64_t free, uint64_t moreFree)
{
    const uint64_t denominator = DriveDenominator(known, total, free);
    if (denominator == 0 || (denominator > total && denominator != 1) || (!known && denominator != 1))
        abort();
    if (DriveDenominator(known, total, moreFree) > denominator)
        abort();
}

// For any run of a monotonic clock: two updates shown are at least an
// interval apart, and an update is held back only while the last one shown
// is less than an interval old, so the one the walk shows when it ends
// (WalkTest.PacedDisplay...) is never older than an interval.
void CheckPace(const uint8_t* steps, size_t count, uint64_t start)
{
    DisplayPace pace = {};
    uint64_t now = start, lastShown = 0;
    bool shownAny = false;
    for (size_t i = 0; i < count; ++i) {
        now += steps[i];
        const bool due = DisplayDue(&pace, now);
        const bool withinInterval = shownAny && now - lastShown < kDisplayIntervalMs;
        if (due && withinInterval)
            abort(); // two shown within one interval
        if (!due && !withinInterval)
            abort(); // held back, though none was shown for an interval
        if (due) {
            lastShown = now;
            shownAny = true;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 25)
        return 0;
    const uint64_t a = Take64(data), b = Take64(data + 8), c = Take64(data + 16);
    const uint8_t flags = data[24];
    const uint64_t more = a + (c >> 40) >= a ? a + (c >> 40) : UINT64_MAX;
    CheckDrive(a, more, b);
    CheckFolder(a, more, b);
    // A folder scan's denominator runs 1048576 ahead of the bytes processed.
    if (a <= UINT64_MAX - 1048576)
        CheckFolder(a, a, a + 1048576);
    CheckDenominator(flags & 1, a, b, b + (c & 0xFFFF) >= b ? b + (c & 0xFFFF) : UINT64_MAX);

    ScanCounters counters;
    counters.processedBytes = a;
    counters.totalBytes = b;
    counters.filesSeen = uint32_t(c);
    counters.filesDecrypted = uint32_t(c >> 32);
    counters.entriesVisited = 0;
    counters.folderMode = (flags & 2) != 0;
    CheckCounters(counters);
    CheckPace(data + 25, size - 25, c >> 8);
    return 0;
}
