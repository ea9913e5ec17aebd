#include "core/state.h"

KeyState g_key;
