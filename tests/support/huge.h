// Huge locked files made cheaply, and whether this platform reports the
// progress of CopyFileExW (Wine 8 never calls its progress routine).
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/files.h"

enum : uint64_t { kHugeSize = uint64_t(5) << 30 };

// Writes a plain-layout locked file of `size` bytes whose original is all
// zeros: its head is the keystream's first 4096 bytes, the rest a hole
// (sparse), so that gigabytes cost no disk until they are copied.
bool WriteHugePlainLocked(const std::wstring& path, uint64_t size, const Bytes& keystream);

// Whether the decrypted copy of such a file is complete: its size, and its
// first and last 4096 bytes zero.
bool IsHugeCopy(const std::wstring& path, uint64_t size);

// Whether CopyFileExW calls its progress routine here, tried on a small copy
// in the folder.
bool PlatformReportsCopyProgress(const std::wstring& folder);
