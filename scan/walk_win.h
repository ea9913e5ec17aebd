// The directory enumeration the walk reads its entries from: FindFirstFileW
// and FindNextFileW, unless a test installs its own in their place. Wine
// keeps no cloud attributes on its files (FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
// and the like), so a test adds them to the entries the real enumeration
// yields, as Windows reports them for a cloud folder's online-only files.
// Read by the scan thread only; installed before a scan starts.
#pragma once

#include <windows.h>

extern HANDLE(WINAPI* g_findFirstFile)(const wchar_t* pattern, WIN32_FIND_DATAW* entry);
extern BOOL(WINAPI* g_findNextFile)(HANDLE find, WIN32_FIND_DATAW* entry);
