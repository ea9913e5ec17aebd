// What the walk decides about a file from its directory entry alone, before
// anything opens it. Pure: no Windows header, builds anywhere.
#pragma once

#include <cstdint>

#include "core/key.h"

// File attributes, as the directory enumeration reports them, that say the
// file's data is not on this machine, and that opening or reading it would
// fetch it from remote storage first. The values are Windows' own
// (FILE_ATTRIBUTE_OFFLINE, _RECALL_ON_OPEN, _RECALL_ON_DATA_ACCESS); the
// SDK headers at hand lack the last two.
enum : uint32_t {
    kAttributeOffline = 0x1000,              // data in remote storage
    kAttributeRecallOnOpen = 0x40000,        // virtual: opening fetches it
    kAttributeRecallOnDataAccess = 0x400000, // an online-only cloud file: reading fetches it
    kAttributesOfRemoteData = kAttributeOffline | kAttributeRecallOnOpen | kAttributeRecallOnDataAccess,
};

// True for a file the walk counts as not locked without opening it: in the
// trailer layout one shorter than the trailer it would end in, or one whose
// data is remote (every online-only file of a cloud folder). A file the
// ransomware locked on this machine was read and written here, so its data
// is here; reading the tail of every remote file would download the user's
// whole cloud, and could fill the disk. In the plain layout the name decides
// before anything is read, and a file with a locked name is opened wherever
// its data lies: that download is the recovery the user asked for.
bool SkipUnopened(const KeyState& key, uint64_t size, uint32_t attributes);
