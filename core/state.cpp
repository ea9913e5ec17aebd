#include "core/state.h"

KeyState g_key;
uint8_t g_lockedHead[kKeystreamCapacity];
uint8_t g_headBuffer[kMaxHeadLength];
wchar_t g_outputPath[kPathCapacity + kNumberedSuffixLength];
