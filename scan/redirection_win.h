// A 32-bit process on 64-bit Windows sees SysWOW64 under the name System32
// (and the 32-bit Program Files view of some other folders). The walk turns
// this off around each call that opens a file or folder by name, so that
// every folder is walked as it is, and only there: a DLL loaded while it is
// off comes from the 64-bit folder and fails, and a delay-loaded function
// whose load failed stays failed after the redirection is back.
#pragma once

// Stops the redirection on the calling thread; true if it did, with what
// RestoreFileSystemRedirection needs in *cookie. False in a process that is
// not redirected, and on Windows without the call.
bool StopFileSystemRedirection(void** cookie);

// Restores it on the same thread.
void RestoreFileSystemRedirection(void* cookie);

// Returns call() made with the redirection stopped, where it can be.
template <typename Call>
auto WithoutRedirection(Call call) -> decltype(call())
{
    void* cookie = nullptr;
    const bool stopped = StopFileSystemRedirection(&cookie);
    const auto result = call();
    if (stopped)
        RestoreFileSystemRedirection(cookie);
    return result;
}
