// Records what the scan asks the window to show, in place of the window's
// ProgressSink, and gives each test fresh counters, no stop request and a
// display clock of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct Shown {
    enum Kind { kText, kRange, kPosition, kColor } kind;
    std::wstring text;  // kText
    uint32_t position;  // kPosition
    uint64_t atMs;      // the display clock's last reading when it was sent
};

// Every display call since the recorder was installed or cleared.
extern std::vector<Shown> g_shown;
// Called after each recorded display call, when set (a test may raise the
// stop request from it, as the window does).
extern void (*g_onShown)();

// The display clock while a RecordingTest runs: every reading moves
// g_clockMs forward by g_clockStepMs, a second unless the test changes it,
// so that by default every update is shown at once (the display's pace is
// far quicker than that).
// g_clockMs never goes back: the walk remembers its last update across tests.
extern uint64_t g_clockMs;
extern uint64_t g_clockStepMs;
uint64_t ReadTestClock();
// Makes that clock the display's, a second a reading.
void UseTestClock();

std::vector<std::wstring> ShownTexts();
std::vector<uint32_t> ShownPositions();

// A fixture for the scan's tests: installs the recorder, zeroes the
// counters and clears the stop request; puts everything back afterwards.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
