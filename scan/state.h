// Process-wide state of the scanner.
//
// g_counters is written only by the scan thread. g_progress is installed by
// the main window before a scan starts (tests install their own); until then
// its operations do nothing. The stop request the walk reads between two
// files is the recovery core's g_stopRequested (core/state.h).
// g_displayClock gives the milliseconds of the monotonic clock that paces
// the walk's display: GetTickCount64, defined with the walk, unless a test
// installs its own.
//
// The walk's own buffers (its stack of open directories, the find data and
// the display update it holds back) and the path buffer of a scan target
// are private to walk_win.cpp and target_win.cpp; like these counters they
// belong to the scan thread alone.
#pragma once

#include <cstdint>

#include "core/state.h"

struct ScanCounters {
    uint32_t entriesVisited; // files and directories met; reset by each scan target
    uint32_t filesSeen;      // files handed to DecryptLockedFile; never reset
    uint32_t filesDecrypted; // copies written; reset at the start of a run
    uint64_t processedBytes; // sizes of the files seen; reset by each scan target
    uint64_t totalBytes;     // the bar's denominator; set by each scan target
    bool folderMode;         // set for a folder scan, clear for a drive scan
};

// The display operations of the main window. The scan uses the first three;
// each is a synchronous message to the window's controls.
struct ProgressSink {
    void (*setStatusText)(const wchar_t* text);
    void (*setBarRange)();              // 0 to 255
    void (*setBarPosition)(uint32_t position); // above 255 shows a full bar
    void (*setBarColor)();
};

enum : uint32_t { kBarMaximum = 255 };

extern ScanCounters g_counters;
extern ProgressSink g_progress;
extern uint64_t (*g_displayClock)();
