// The main sequence of a run: a key, then one scan on its own thread.
#pragma once

#include "core/status.h"

// RC_OK when the user accepted the key file beside the program.
Status FindKeyBesideProgram();

// Gets a key and starts the scan thread: 1 once it runs, 0 when there is no
// key or no thread (the user may then press Continue again).
int StartRecovery();
