// Holds a file open as another program might, for the fault tests:
//
//   felnox_hold PATH MODE READY RELEASE
//
// MODE "exclusive": read access, nothing shared; "writing": write access,
// others may only read. Sets the named event READY once the file is open and
// keeps it open until the named event RELEASE is set. Exits with 1 when the
// file cannot be opened, 2 when the release never comes.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 3;
    const bool writing = wcscmp(argv[2], L"writing") == 0;
    HANDLE file = CreateFileW(argv[1], writing ? GENERIC_WRITE : GENERIC_READ,
                              writing ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    int code = 2;
    if (ready && release && SetEvent(ready) && WaitForSingleObject(release, 120000) == WAIT_OBJECT_0)
        code = 0;
    if (ready)
        CloseHandle(ready);
    if (release)
        CloseHandle(release);
    CloseHandle(file);
    return code;
}
