// A 32-bit process on 64-bit Windows sees SysWOW64 under the name System32
// (and a few other redirected paths, scan/redirection.h). The walk turns
// this off around each call that opens a file or folder by such a path, so
// that every folder is walked as it is, and only there: Microsoft's
// documentation of Wow64DisableWow64FsRedirection warns that DLL loading
// depends on the redirection and fails while it is off, and that many
// functions load theirs late. CopyFileExW may load one (for instance for a
// file that the file system encrypts), and a delay-loaded function whose
// load failed stays failed after the redirection is back. A file in a
// redirected folder is still copied with it off: there, only that way is
// the file the user named the one that is read.
#pragma once

// Stops the redirection on the calling thread when the path is one it
// redirects; true if it did, with what RestoreFileSystemRedirection needs
// in *cookie. False for any other path, in a process that is not
// redirected, and on Windows without the call.
bool StopFileSystemRedirectionFor(const wchar_t* path, void** cookie);

// Restores it on the same thread.
void RestoreFileSystemRedirection(void* cookie);

// Returns call() made with the redirection stopped where path needs it.
template <typename Call>
auto WithoutRedirection(const wchar_t* path, Call call) -> decltype(call())
{
    void* cookie = nullptr;
    const bool stopped = StopFileSystemRedirectionFor(path, &cookie);
    const auto result = call();
    if (stopped)
        RestoreFileSystemRedirection(cookie);
    return result;
}
