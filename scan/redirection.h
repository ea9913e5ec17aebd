// Which paths the file system redirector of 64-bit Windows redirects for a
// 32-bit process. Pure string work: no Windows header.
#pragma once

// True when a 32-bit process's access to the path goes elsewhere unless
// the redirection is stopped. After Microsoft's "File System Redirector":
// the folder System32 of the Windows folder and everything in it, but for
// its subfolders catroot, catroot2, drivers\etc, logfiles and spool, which
// are exempt; the folder lastgood\system32 and everything in it; and the
// file regedit.exe of the Windows folder. The subfolder driverstore, exempt
// since Windows 7, counts as redirected: Vista redirects it, and stopping
// the redirection where it would not apply changes nothing.
// The path is plain (C:\...) or in the \\?\ or \\.\ form; windowsFolder is
// the system's Windows folder (GetSystemWindowsDirectoryW), with or without
// a final '\'. Letters are compared without case, as the file system does
// (ASCII letters: the names above are ASCII, and so is a Windows folder).
bool IsRedirectedPath(const wchar_t* path, const wchar_t* windowsFolder);
