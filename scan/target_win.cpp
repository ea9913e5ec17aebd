// The scan targets: one drive, every drive, or the path given
// on the command line.
#include <windows.h>
#include <winioctl.h>

#include <cwchar>

#include "core/file_win.h"
#include "core/state.h"
#include "scan/progress.h"
#include "scan/state.h"
#include "scan/target.h"
#include "scan/walk.h"

namespace {

enum : uint64_t { kFolderDenominator = 1048576 };

// The path buffer of the walk: a drive's root or the folder given.
wchar_t g_walkPath[kPathCapacity];
// The folder argument made full before the run asks for a key.
wchar_t g_fullArgument[kPathCapacity];

// Optical drives are skipped. Windows reports the type for the device path;
// Wine answers 0 (unknown) there, so the root path is asked
// whenever the device path gives no type (0) or no root (1).
bool IsOpticalDrive(const wchar_t* device, wchar_t letter)
{
    UINT type = GetDriveTypeW(device);
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        type = GetDriveTypeW(root);
    }
    return type == DRIVE_CDROM;
}

// The folder argument as a full path in the \\?\ form, in g_walkPath. The
// length limit applies to the result.
Status MakeFolderPath(const wchar_t* path)
{
    size_t length = 0;
    const Status made = MakeLongPath(path, g_walkPath, kPathCapacity, &length);
    if (Failed(made))
        return made;
    return length > kMaxDirectoryPath ? RC_PATH_TOO_LONG : RC_OK;
}

} // namespace

Status ScanDrive(wchar_t letter)
{
    wchar_t device[] = L"\\\\.\\A:";
    device[4] = letter;
    HANDLE volume = CreateFileW(device, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return RC_DRIVE_SKIPPED;
    DWORD returned = 0;
    DeviceIoControl(volume, IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr, 0, &returned, nullptr);
    if (IsOpticalDrive(device, letter)) {
        CloseHandle(volume);
        return RC_DRIVE_SKIPPED;
    }

    wchar_t root[] = L"\\\\?\\A:\\";
    root[4] = letter;
    ULARGE_INTEGER available = {}, total = {}, free = {};
    const bool spaceKnown = GetDiskFreeSpaceExW(root, &available, &total, &free) != 0;
    g_counters.totalBytes = DriveDenominator(spaceKnown, total.QuadPart, free.QuadPart);
    g_counters.processedBytes = 0;
    g_counters.entriesVisited = 0;
    g_counters.folderMode = false;
    g_progress.setBarPosition(0);

    wmemcpy(g_walkPath, root, sizeof root / sizeof root[0]);
    WalkDirectory(g_walkPath);
    CloseHandle(volume);
    return RC_OK;
}

Status ScanAllDrives()
{
    const DWORD drives = GetLogicalDrives() & 0x7FFFFFFFu;
    for (unsigned bit = 0; bit < 31; ++bit) {
        if (g_stopRequested.load(std::memory_order_relaxed))
            break;
        if (drives & (1u << bit))
            ScanDrive(wchar_t(L'A' + bit));
    }
    return RC_OK;
}

Status ScanPath(const wchar_t* path)
{
    wchar_t letter = 0;
    switch (ClassifyScanPath(path, &letter)) {
    case ScanTarget::kNothing:
        return RC_EMPTY_PATH;
    case ScanTarget::kDrive:
        return ScanDrive(letter);
    case ScanTarget::kFolder:
        break;
    }
    const Status made = MakeFolderPath(path);
    if (Failed(made))
        return made;
    g_counters.processedBytes = 0;
    g_counters.totalBytes = kFolderDenominator;
    g_counters.entriesVisited = 0;
    g_counters.folderMode = true;
    g_progress.setBarPosition(0);
    WalkDirectory(g_walkPath);
    return RC_OK;
}

wchar_t* MakeArgumentFull(wchar_t* argument)
{
    wchar_t letter = 0;
    size_t length = 0;
    if (ClassifyScanPath(argument, &letter) != ScanTarget::kFolder ||
        Failed(MakeLongPath(argument, g_fullArgument, kPathCapacity, &length)))
        return argument;
    return g_fullArgument;
}

Status RunScan(const wchar_t* path)
{
    // An empty card reader or floppy drive would make the system ask the
    // user to insert a disk; the scan goes on to the next drive instead.
    SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS, nullptr);
    return path ? ScanPath(path) : ScanAllDrives();
}
