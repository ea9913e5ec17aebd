// Folders that refuse access, for the fault tests.
#pragma once

#include <string>

enum class FolderAccess {
    kFull,     // everything
    kListOnly, // list and read, but add nothing
    kNothing,  // not even list
};

// Gives everyone that access to the folder. Windows: through the folder's
// DACL. Wine keeps a DACL but does not enforce it; there the folder's Unix
// mode is set (by running chmod) instead. Returns false when the access
// does not show, as for a process that overrides file permissions (root
// with its capabilities).
bool SetFolderAccess(const std::wstring& folder, FolderAccess access);
