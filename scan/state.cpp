#include "scan/state.h"

namespace {
void ShowNoText(const wchar_t*) {}
void SetNoRange() {}
void SetNoPosition(uint32_t) {}
void SetNoColor() {}
} // namespace

ScanCounters g_counters;
ProgressSink g_progress = {ShowNoText, SetNoRange, SetNoPosition, SetNoColor};
