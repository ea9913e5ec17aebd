#include "tests/scan/recorder.h"

#include "scan/state.h"

std::vector<Shown> g_shown;
void (*g_onShown)();
uint64_t g_clockMs;
uint64_t g_clockStepMs;

namespace {

ProgressSink g_saved;
uint64_t (*g_savedClock)();

void Record(Shown shown)
{
    g_shown.push_back(shown);
    if (g_onShown != nullptr)
        g_onShown();
}

void RecordText(const wchar_t* text) { Record({Shown::kText, text, 0, g_clockMs}); }
void RecordRange() { Record({Shown::kRange, {}, 0, g_clockMs}); }
void RecordPosition(uint32_t position) { Record({Shown::kPosition, {}, position, g_clockMs}); }
void RecordColor() { Record({Shown::kColor, {}, 0, g_clockMs}); }

} // namespace

uint64_t ReadTestClock()
{
    return g_clockMs += g_clockStepMs;
}

void UseTestClock()
{
    g_displayClock = ReadTestClock;
    g_clockMs += 3600 * 1000;
    g_clockStepMs = 1000;
}

std::vector<std::wstring> ShownTexts()
{
    std::vector<std::wstring> texts;
    for (const Shown& shown : g_shown)
        if (shown.kind == Shown::kText)
            texts.push_back(shown.text);
    return texts;
}

std::vector<uint32_t> ShownPositions()
{
    std::vector<uint32_t> positions;
    for (const Shown& shown : g_shown)
        if (shown.kind == Shown::kPosition)
            positions.push_back(shown.position);
    return positions;
}

void RecordingTest::SetUp()
{
    g_saved = g_progress;
    g_progress = {RecordText, RecordRange, RecordPosition, RecordColor};
    g_savedClock = g_displayClock;
    UseTestClock();
    g_shown.clear();
    g_onShown = nullptr;
    g_counters = {};
    g_stopRequested = false;
}

void RecordingTest::TearDown()
{
    g_progress = g_saved;
    g_displayClock = g_savedClock;
    g_onShown = nullptr;
    g_stopRequested = false;
}
