#include "core/state.h"

KeyState g_key;
std::atomic<bool> g_stopRequested{false};
uint32_t g_copiesFlushed;
