// Records what the scan asks the window to show, in place of the window's
// ProgressSink, and gives each test fresh counters and no stop request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct Shown {
    enum Kind { kText, kRange, kPosition, kColor } kind;
    std::wstring text;  // kText
    uint32_t position;  // kPosition
};

// Every display call since the recorder was installed or cleared.
extern std::vector<Shown> g_shown;
// Called after each recorded display call, when set (a test may raise the
// stop request from it, as the window does).
extern void (*g_onShown)();

std::vector<std::wstring> ShownTexts();
std::vector<uint32_t> ShownPositions();

// A fixture for the scan's tests: installs the recorder, zeroes the
// counters and clears the stop request; puts everything back afterwards.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
