#include "core/state.h"

KeyState g_key;
std::atomic<bool> g_stopRequested{false};
