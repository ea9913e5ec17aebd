#include "ui/state.h"

bool g_russianUi;
