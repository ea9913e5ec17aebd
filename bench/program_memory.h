// Figure 5: the memory of the real program, felnox1decrypt.exe, while it
// scans: started with a folder and the key file beside it, driven through
// its windows (Continue, Yes to the key, OK to the count, Exit) and watched
// with GetProcessMemoryInfo from the benchmark every 10 ms.
#pragma once

#include <cstdint>
#include <string>

struct ProgramMemory {
    // Before Continue: the window open and idle.
    uint64_t idleWorkingSet = 0;
    uint64_t idlePrivate = 0;
    // The most seen while the program scanned.
    uint64_t peakWorkingSet = 0;
    uint64_t peakPrivate = 0;
    // Once it showed the final count, in a box of its scan thread.
    uint64_t boxWorkingSet = 0;
    uint64_t boxPrivate = 0;
    uint32_t decrypted = 0; // the count the program reported
    double seconds = 0;     // from Yes to the final count
};

// programFolder holds felnox1decrypt.exe and felnox1.key; target is the
// folder argument. False (with *error set) when the program did not go
// through the run as expected.
bool WatchProgram(const std::wstring& programFolder, const std::wstring& target,
                  ProgramMemory* memory, std::string* error);

// A reference for what any window costs under the same system: Wine's own
// notepad.exe, started and measured once idle. False if it did not start.
bool WatchNotepad(ProgramMemory* memory);
