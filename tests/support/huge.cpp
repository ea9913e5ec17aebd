#include "tests/support/huge.h"

#include <windows.h>

#include <winioctl.h>

namespace {

bool ReadAt(HANDLE file, uint64_t offset, Bytes* bytes)
{
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           ReadFile(file, bytes->data(), DWORD(bytes->size()), &got, nullptr) && got == bytes->size();
}

DWORD CALLBACK CountCall(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                         HANDLE, void* calls)
{
    ++*static_cast<int*>(calls);
    return PROGRESS_CONTINUE;
}

} // namespace

bool WriteHugePlainLocked(const std::wstring& path, uint64_t size, const Bytes& keystream)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    // NTFS fills a file extended without this with zeros it writes.
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size);
    const bool written = WriteFile(file, keystream.data(), 4096, &done, nullptr) && done == 4096 &&
                         SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return written;
}

bool IsHugeCopy(const std::wstring& path, uint64_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER actual;
    Bytes head(4096), tail(4096);
    const bool complete = GetFileSizeEx(file, &actual) && uint64_t(actual.QuadPart) == size &&
                          ReadAt(file, 0, &head) && ReadAt(file, size - tail.size(), &tail) &&
                          head == Bytes(4096) && tail == Bytes(4096);
    CloseHandle(file);
    return complete;
}

bool PlatformReportsCopyProgress(const std::wstring& folder)
{
    const std::wstring source = folder + L"\\progress-probe";
    const std::wstring target = folder + L"\\progress-probe-copy";
    WriteBytes(source, RandomBytes(1 << 20, 1));
    int calls = 0;
    CopyFileExW(source.c_str(), target.c_str(), CountCall, &calls, nullptr, 0);
    DeleteFileW(target.c_str());
    DeleteFileW(source.c_str());
    return calls > 0;
}
