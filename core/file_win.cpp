#include "core/file_win.h"

#include <cwchar>

#include "core/path.h"

Status MakeLongPath(const wchar_t* path, wchar_t* buffer, uint32_t capacity, size_t* length)
{
    if (IsExtendedPath(path)) {
        *length = wcslen(path);
        if (*length >= capacity)
            return RC_PATH_TOO_LONG;
        wmemcpy(buffer, path, *length + 1);
        return RC_OK;
    }
    const DWORD room = capacity - kExtendedPathRoom;
    const DWORD full = GetFullPathNameW(path, room, buffer + kExtendedPathRoom, nullptr);
    if (full == 0)
        return GetLastError() == ERROR_FILENAME_EXCED_RANGE ? RC_PATH_TOO_LONG : RC_FAILED;
    if (full >= room)
        return RC_PATH_TOO_LONG;
    *length = MakeExtendedPath(buffer, full);
    return RC_OK;
}

namespace {

HANDLE OpenExistingForReading(const wchar_t* path, DWORD sharing)
{
    wchar_t longPath[kOpenPathCapacity];
    size_t length = 0;
    if (!IsExtendedPath(path) && !Failed(MakeLongPath(path, longPath, kOpenPathCapacity, &length)))
        path = longPath;
    return CreateFileW(path, GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

} // namespace

HANDLE OpenForReading(const wchar_t* path)
{
    return OpenExistingForReading(path, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

HANDLE OpenAndHold(const wchar_t* path) { return OpenExistingForReading(path, FILE_SHARE_READ); }

bool ReadUntilFullOrEnd(HANDLE file, void* buffer, DWORD size, DWORD* count)
{
    *count = 0;
    while (*count < size) {
        DWORD got = 0;
        if (!ReadFile(file, static_cast<uint8_t*>(buffer) + *count, size - *count, &got, nullptr))
            return false;
        if (got == 0)
            break;
        *count += got;
    }
    return true;
}

int64_t FileSize(HANDLE file)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

bool SeekTo(HANDLE file, int64_t offset, DWORD origin)
{
    LONG high = LONG(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, LONG(uint32_t(offset)), &high, origin);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}
