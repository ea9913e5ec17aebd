// What the flush before the rename costs a copy: times DecryptLockedFile on
// COUNT plain-layout files of SIZE bytes in FOLDER, one after the other,
// each copy removed before the next, and prints the mean per file and the
// flushes made. tools/flush-cost.sh runs it on one exFAT volume reached as
// a fixed and as a removable drive.
//
//   felnox_flush_cost FOLDER SIZE COUNT
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "core/decrypt.h"
#include "core/state.h"
#include "tests/support/imports.h"

namespace {

// FlushFileBuffers as the decryption calls it, counted, to show which
// drive flushes.
decltype(&FlushFileBuffers) g_realFlush;
unsigned g_flushes;

BOOL WINAPI CountedFlush(HANDLE file)
{
    ++g_flushes;
    return g_realFlush(file);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 1;
    const std::wstring folder = argv[1];
    const size_t size = wcstoul(argv[2], nullptr, 10);
    const size_t count = wcstoul(argv[3], nullptr, 10);
    g_realFlush = reinterpret_cast<decltype(g_realFlush)>(
        ReplaceImport("FlushFileBuffers", reinterpret_cast<void*>(CountedFlush)));
    if (g_realFlush == nullptr)
        return 1;
    g_key.keystreamLength = 4096; // a keystream of zeros: the same work as any other
    const std::vector<char> bytes(size, 'x');
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double seconds = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
        const std::wstring locked = folder + L"\\locked-" + name + L".abcd";
        HANDLE file = CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const bool made = WriteFile(file, bytes.data(), DWORD(size), &written, nullptr) && written == size;
        CloseHandle(file);
        QueryPerformanceCounter(&start);
        const Status status = DecryptLockedFile(locked.c_str(), uint32_t(folder.size() + 1));
        QueryPerformanceCounter(&end);
        if (!made || Failed(status))
            return 2;
        seconds += double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        DeleteFileW(locked.c_str());
        DeleteFileW((folder + L"\\" + name).c_str());
    }
    printf("%ls %zu bytes: %.2f ms a file, %u flushed\n", argv[1], size, 1000 * seconds / double(count),
           g_flushes);
    return 0;
}
