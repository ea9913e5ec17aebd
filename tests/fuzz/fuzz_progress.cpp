// Any counters: the bar positions are the exact quotients the display
// promises (checked in 128-bit arithmetic), stay in the bar's range, and
// a drive's denominator is never 0. Any run of a monotonic clock: at most
// one update per interval goes to the window, and none is held longer.
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

void CheckDrive(uint64_t processed, uint64_t total)
{
    const uint32_t position = DriveBarPosition(processed, total);
    uint32_t expected;
    if (total == 0 || processed > total)
        expected = 255;
    else if (processed == total)
        expected = 256;
    else
        expected = uint32_t((unsigned __int128)processed * 256 / total);
    if (position != expected || position > 256)
        abort();
}

void CheckFolder(uint64_t processed, uint64_t total)
{
    const uint32_t position = FolderBarPosition(processed, total);
    const uint32_t expected =
        processed >= total ? 255 : uint32_t((unsigned __int128)processed * 255 / total);
    if (position != expected || (processed < total && position > 254))
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

void CheckDenominator(bool known, uint64_t total, uint64_t free)
{
    const uint64_t denominator = DriveDenominator(known, total, free);
    const uint64_t used = known && total > free ? total - free : 0;
    if (denominator != (used == 0 ? 1 : used))
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
    CheckDrive(a, b);
    CheckFolder(a, b);
    // A folder scan's denominator runs 1048576 ahead of the bytes processed.
    if (a <= UINT64_MAX - 1048576)
        CheckFolder(a, a + 1048576);
    CheckDenominator(flags & 1, a, b);

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
