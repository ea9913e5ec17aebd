// The key from a file pair that the user picks in two file-open dialogs.
#pragma once

#include "core/status.h"

// RC_OK: the key holds a key (derived, or a key file the user picked and
// accepted). RC_RETRY: the original was too small; ask again at once.
// Any other failure: give up and let the user press Continue again.
Status DeriveKeyFromPair();
