#include "bench/program_memory.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>

#include "bench/measure.h"
#include "tests/support/files.h"
#include "tests/support/driver.h"
#include "ui/res/resource.h"
#include "ui/texts.h"

using namespace uidriver;

namespace {

enum : DWORD {
    kWindowWait = 20000,
    kScanWait = 3600 * 1000,
    kSampleEvery = 10, // ms between two samples of the counters
};

struct Sample {
    uint64_t workingSet, peakWorkingSet, privateBytes, peakPrivate;
};

// Private bytes are the process's private committed memory, PagefileUsage
// (Windows gives PrivateUsage the same value; Wine leaves it 0).
Sample TakeSample(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PagefileUsage,
            counters.PeakPagefileUsage};
}

// Wine's peak of private bytes is only their current value (see
// docs/wine.md), so the samples' own maximum counts as well.
void Accumulate(const Sample& sample, uint64_t* workingSet, uint64_t* privateBytes)
{
    *workingSet = std::max({*workingSet, sample.workingSet, sample.peakWorkingSet});
    *privateBytes = std::max({*privateBytes, sample.privateBytes, sample.peakPrivate});
}

// The final count: a box with the program's caption (the main window has
// another title) other than the question that came before it, found as
// soon as it exists, visible or not yet. Cheap enough to look for at every
// sample.
HWND FindFinalBox(DWORD processId, HWND question)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", kMessageCaption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && window != question)
            return window;
    }
    return nullptr;
}

bool Fail(std::string* error, const std::string& what, const Process& process)
{
    *error = what + "; windows: " + Narrow(DescribeWindows(process.id()));
    return false;
}

} // namespace

bool WatchProgram(const std::wstring& programFolder, const std::wstring& target,
                  ProgramMemory* memory, std::string* error)
{
    *memory = {};
    Process process;
    // Started as a user starts it, without the \\?\ prefix.
    if (!process.Start(Plain(programFolder) + L"\\felnox1decrypt.exe", QuoteArgument(target),
                       Plain(programFolder)))
        return Fail(error, "cannot start the program", process);
    HWND window = WaitForWindow(process.id(), kWindowTitle, kWindowWait);
    if (!window)
        return Fail(error, "no main window", process);
    Sleep(500);
    const Sample idle = TakeSample(process.handle());
    memory->idleWorkingSet = idle.workingSet;
    memory->idlePrivate = idle.privateBytes;
    Accumulate(idle, &memory->peakWorkingSet, &memory->peakPrivate);

    if (!ClickButton(window, IDC_CONTINUE))
        return Fail(error, "cannot press Continue", process);
    HWND question = WaitForMessageBox(process.id(), kMessageCaption, kWindowWait);
    if (!question || !ClickButton(question, IDYES))
        return Fail(error, "no question about the key file", process);
    const double start = Now();
    WaitForWindowClosed(question, kWindowWait);

    // A sample counts for the scan only once a later look still finds no
    // final box: the box may be on its way while a sample is taken.
    HWND final = nullptr;
    Sample pending = {};
    bool havePending = false;
    while (!(final = FindFinalBox(process.id(), question)) && Now() - start < kScanWait / 1000.0) {
        if (havePending)
            Accumulate(pending, &memory->peakWorkingSet, &memory->peakPrivate);
        pending = TakeSample(process.handle());
        havePending = true;
        Sleep(kSampleEvery);
    }
    if (!final)
        return Fail(error, "no final count", process);
    memory->seconds = Now() - start;
    final = WaitForMessageBox(process.id(), kMessageCaption, kWindowWait);
    if (!final)
        return Fail(error, "the final count was never shown", process);
    Sleep(500);
    Accumulate(TakeSample(process.handle()), &memory->boxWorkingSet, &memory->boxPrivate);
    const std::wstring text = GetMessageBoxText(final);
    const size_t colon = text.find(L':');
    memory->decrypted = colon == std::wstring::npos ? 0 : uint32_t(_wtoi(text.c_str() + colon + 1));

    if (!ClickButton(final, IDOK) || !WaitForWindowClosed(final, kWindowWait) ||
        !ClickButton(window, IDC_EXIT) || !process.WaitForExit(kWindowWait))
        return Fail(error, "the program did not end after its count", process);
    return true;
}

bool WatchNotepad(ProgramMemory* memory)
{
    *memory = {};
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    Process process;
    if (!process.Start(std::wstring(system) + L"\\notepad.exe", L"", L""))
        return false;
    Sleep(2000);
    const Sample idle = TakeSample(process.handle());
    memory->idleWorkingSet = idle.workingSet;
    memory->idlePrivate = idle.privateBytes;
    process.Kill();
    return idle.privateBytes != 0;
}
