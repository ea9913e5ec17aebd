#include "tests/scan/recorder.h"

#include "scan/state.h"

std::vector<Shown> g_shown;
void (*g_onShown)();

namespace {

ProgressSink g_saved;

void Record(Shown shown)
{
    g_shown.push_back(shown);
    if (g_onShown != nullptr)
        g_onShown();
}

void RecordText(const wchar_t* text) { Record({Shown::kText, text, 0}); }
void RecordRange() { Record({Shown::kRange, {}, 0}); }
void RecordPosition(uint32_t position) { Record({Shown::kPosition, {}, position}); }
void RecordColor() { Record({Shown::kColor, {}, 0}); }

} // namespace

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
    g_shown.clear();
    g_onShown = nullptr;
    g_counters = {};
    g_stopRequested = false;
}

void RecordingTest::TearDown()
{
    g_progress = g_saved;
    g_onShown = nullptr;
    g_stopRequested = false;
}
