// The position of the progress bar at a display update of the walk, and
// the pace of those updates. Pure arithmetic: no Windows header, builds
// anywhere.
#pragma once

#include <cstdint>

#include "scan/state.h"

// Drive scan: processed × 256 / total, exact and without overflow; 256 (one
// past the bar's range, shown as full) when the two are equal; 255 when
// processed passes total or total is 0.
uint32_t DriveBarPosition(uint64_t processed, uint64_t total);

// Folder scan: processed × 255 / total, exact and without overflow, so a
// value in 0 to 254 while processed < total (always so in a folder scan,
// where total = processed + 1048576), growing with processed; 255 when
// processed reaches or passes total.
uint32_t FolderBarPosition(uint64_t processed, uint64_t total);

// The position the walk shows for the counters as they stand: the drive
// formula, or in folder mode 0 while no file was seen or none decrypted and
// the folder formula afterwards.
uint32_t BarPosition(const ScanCounters& counters);

// A drive scan's denominator: the bytes in use (total − free) when the
// volume's space could be read, else 0; then 1 in place of 0. A free figure
// above the total (a disk quota smaller than the free space) counts as 0 in
// use rather than wrapping around.
uint64_t DriveDenominator(bool spaceKnown, uint64_t totalBytes, uint64_t freeBytes);

// A person reads no more than a few status texts a second, and each one
// the walk sends costs a round trip to the interface thread and a repaint:
// the walk sends the window at most one update (a status text and a bar
// position) per interval, always the latest, and holds back the others.
enum : uint64_t { kDisplayIntervalMs = 30 };

struct DisplayPace {
    uint64_t lastShownMs; // when the last update went to the window
    bool shownAny;        // clear until the first one
};

// Whether an update made at nowMs (on a monotonic clock) goes to the window
// now: the first one does, any other once an interval has passed since the
// last one shown. If it does, it counts as shown at nowMs.
bool DisplayDue(DisplayPace* pace, uint64_t nowMs);
