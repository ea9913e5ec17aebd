// Decryption of one locked file into a new copy beside it.
#pragma once

#include <cstdint>

#include "core/status.h"

enum : uint32_t { kMaxHeadLength = 1048576 }; // the longest head a locked file may announce

// path is a file's full path; nameOffset is the number of characters before
// its name. With the process-wide key, decides whether the file is locked
// and if so writes a decrypted copy beside it under a name that did not
// exist yet. The locked file is only read. RC_OK means a copy was written;
// on failure no output of this call is left behind. The copy is built under
// a temporary name (see FormatTemporaryName) and moved to its own name when
// complete: if the process dies meanwhile, only that temporary file is
// left, and no later call takes it for a locked file. A stop requested
// (g_stopRequested) during the copy cancels it where the system reports a
// copy's progress, and nothing of it is left.
Status DecryptLockedFile(const wchar_t* path, uint32_t nameOffset);
