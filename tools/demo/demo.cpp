// Helper for tools/run.sh: makes a demo folder of locked files, and saves a
// screenshot of the program's window.
//
//   felnox_demo make FOLDER          sample files locked in the plain layout,
//                                    in nested folders, and a spare pair
//   felnox_demo screenshot FILE.bmp  waits for the main window and saves it
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/locker.h"
#include "tests/support/driver.h"

namespace {

int MakeDemo(const std::wstring& folder)
{
    const Bytes keystream = RandomBytes(4096, 1);
    const std::wstring data = folder + L"\\documents";
    const std::wstring spare = folder + L"\\spare";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(data.c_str(), nullptr);
    CreateDirectoryW(spare.c_str(), nullptr);
    const wchar_t* subfolders[] = {L"", L"\\letters", L"\\letters\\2026", L"\\photos"};
    const wchar_t* names[] = {L"report.doc", L"budget.xls", L"notes.txt", L"holiday.jpg"};
    int count = 0;
    for (const wchar_t* sub : subfolders) {
        const std::wstring where = data + sub;
        CreateDirectoryW(where.c_str(), nullptr);
        for (const wchar_t* name : names) {
            WritePlainLocked(where, name, RandomBytes(6000 + 1000 * size_t(count), uint32_t(count)),
                             keystream);
            ++count;
        }
    }
    const Bytes original = RandomBytes(20000, 99);
    WriteBytes(spare + L"\\letter.doc", original);
    const std::wstring locked = WritePlainLocked(spare, L"letter.doc", original, keystream);
    wprintf(L"%d locked files in %ls\n", count, data.c_str());
    wprintf(L"first dialog (original):  %ls\\letter.doc\n", spare.c_str());
    wprintf(L"second dialog (locked):   %ls\n", locked.c_str());
    return 0;
}

int Screenshot(const std::wstring& file)
{
    HWND window = uidriver::WaitForWindow(0, L"Felnox1 Decryptor 1.0.2.4", 30000);
    if (!window) {
        fwprintf(stderr, L"no window to take\n");
        return 1;
    }
    return uidriver::SaveWindowScreenshot(window, file) ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"make")
        return MakeDemo(argv[2]);
    if (argc == 3 && std::wstring(argv[1]) == L"screenshot")
        return Screenshot(argv[2]);
    fwprintf(stderr, L"usage: felnox_demo make FOLDER | screenshot FILE.bmp\n");
    return 2;
}
