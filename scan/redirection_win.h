// A 32-bit process on 64-bit Windows sees SysWOW64 under the name System32
// (and the 32-bit Program Files view of some other folders). The scan thread
// turns this off while it walks, so that every folder is walked as it is.
#pragma once

// Stops the redirection on the calling thread; true if it did, with what
// RestoreFileSystemRedirection needs in *cookie. False in a process that is
// not redirected, and on Windows without the call.
bool StopFileSystemRedirection(void** cookie);

// Restores it on the same thread. Must come before the thread loads a DLL
// (a message box does), which would otherwise come from the 64-bit folder.
void RestoreFileSystemRedirection(void* cookie);
