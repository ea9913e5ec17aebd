#include <cstring>

#include "core/file_win.h"
#include "core/key.h"
#include "core/state.h"

Status LoadKeyFile(const wchar_t* path)
{
    static uint8_t contents[kKeyFileMaxSize];

    Status status = CheckKeyFileName(path);
    if (Failed(status))
        return status;

    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return RC_FAILED;
    const int64_t size = FileSize(file);
    DWORD got = 0;
    // A failed read gives no key, whatever it read before.
    if (size >= kKeyFileMinSize && size <= kKeyFileMaxSize &&
        !ReadUntilFullOrEnd(file, contents, DWORD(size), &got))
        got = 0;
    CloseHandle(file);

    if (got < kKeyFileMinSize)
        return RC_FAILED;
    return ParseKeyFile(contents, got, &g_key);
}

void ClearReferenceTrailer()
{
    memset(&g_key.reference, 0, sizeof g_key.reference);
}
