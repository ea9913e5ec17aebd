#include "bench/decryption.h"

#include <windows.h>

#include <functional>
#include <string>

#include "core/decrypt.h"
#include "core/state.h"
#include "bench/measure.h"

namespace {

// Held, as the decryptor holds it: others may only read it meanwhile.
HANDLE OpenLocked(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Seek(HANDLE file, int64_t offset, DWORD origin)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(file, distance, nullptr, origin) != 0;
}

// Runs the operation, adds its seconds to *sum; false when it failed.
bool Timed(const std::function<bool()>& operation, double* sum)
{
    const double start = Now();
    const bool ok = operation();
    *sum += Now() - start;
    return ok;
}

// What the steps share while they work on one file.
struct StepFile {
    const std::wstring* locked;
    std::wstring output;    // the steps' own output, beside the decrypted copy
    std::wstring temporary; // where that output is built before it takes its name
    uint32_t trailer;       // the key's trailer length, 0 in the plain layout
    HANDLE copy;            // the output, open from the head's step to the rename's
};

uint8_t g_head[kBenchHead + kBenchTrailer];

bool ReadHead(StepFile* file)
{
    HANDLE locked = OpenLocked(*file->locked);
    DWORD got = 0;
    bool ok = locked != INVALID_HANDLE_VALUE;
    if (ok && file->trailer != 0)
        ok = Seek(locked, -int64_t(file->trailer), FILE_END) &&
             ReadFile(locked, g_head, file->trailer, &got, nullptr) && Seek(locked, 0, FILE_BEGIN);
    ok = ok && ReadFile(locked, g_head, kBenchHead, &got, nullptr);
    CloseHandle(locked);
    return ok;
}

DWORD CALLBACK GoOn(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                    HANDLE, void*)
{
    return PROGRESS_CONTINUE;
}

bool CopyToTemporaryName(StepFile* file)
{
    return CopyFileExW(file->locked->c_str(), file->temporary.c_str(), GoOn, nullptr, nullptr,
                       COPY_FILE_FAIL_IF_EXISTS) != 0;
}

bool SetAttributes(HANDLE file, DWORD attributes)
{
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool WriteHeadWhileHidden(StepFile* file)
{
    HANDLE out = CreateFileW(file->temporary.c_str(),
                             GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    file->copy = out;
    FILE_BASIC_INFO copy;
    DWORD written = 0;
    bool done = out != INVALID_HANDLE_VALUE &&
                GetFileInformationByHandleEx(out, FileBasicInfo, &copy, sizeof copy) &&
                SetAttributes(out, copy.FileAttributes | FILE_ATTRIBUTE_HIDDEN) &&
                WriteFile(out, g_head, kBenchHead, &written, nullptr);
    if (done && file->trailer != 0)
        done = Seek(out, -int64_t(file->trailer), FILE_END) && SetEndOfFile(out);
    return done && SetAttributes(out, copy.FileAttributes);
}

// Through the handle the head was written by, with the full path, as the
// decryptor gives a copy its name.
bool RenameAndClose(StepFile* file)
{
    union {
        FILE_RENAME_INFO info;
        uint8_t bytes[sizeof(FILE_RENAME_INFO) + sizeof(wchar_t) * MAX_PATH];
    } rename = {};
    const size_t length = file->output.size();
    bool done = length < MAX_PATH;
    if (done) {
        file->output.copy(rename.info.FileName, length);
        rename.info.FileNameLength = DWORD(sizeof(wchar_t) * length);
        done = SetFileInformationByHandle(file->copy, FileRenameInfo, &rename, sizeof rename) != 0;
    }
    return CloseHandle(file->copy) && done;
}

struct Step {
    const char* plain;   // what it does, in the plain layout
    const char* trailer; // and in the trailer layout
    bool (*run)(StepFile* file);
};

// The decryption's steps, each done on its own as the decryptor does it.
// The first one reads the locked file; the others work on the output, one
// after another on the same file, so a step the decryptor gains on its
// output is one more line here.
const Step kSteps[] = {
    {"open the locked file, read its head, close",
     "open the locked file, read its head and trailer, close", ReadHead},
    {"CopyFileExW to a fresh temporary name beside it",
     "CopyFileExW to a fresh temporary name beside it", CopyToTemporaryName},
    {"open the copy, hide it, write the head, show it",
     "open the copy, hide it, write the head, cut the trailer, show it", WriteHeadWhileHidden},
    {"rename it through its handle (never replacing), close it",
     "rename it through its handle (never replacing), close it", RenameAndClose},
};
const size_t kStepCount = sizeof kSteps / sizeof kSteps[0];

struct Round {
    double copy = 0, decrypt = 0, steps[kStepCount] = {};
};

// The four units done for one file, in the order given by `first`: the
// copy, the decryption, the reading step, the steps on the output.
bool OneFile(const LockedSet& set, size_t i, size_t first, Round* round)
{
    const std::wstring& locked = set.locked[i];
    const std::wstring copy = set.outputs[i] + L".copy"; // the floor's fresh name
    StepFile file = {&locked, set.outputs[i] + L".steps", set.outputs[i] + L".steps-tmp",
                     g_key.reference.totalLength, INVALID_HANDLE_VALUE};
    auto steps = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            if (!Timed([&] { return kSteps[k].run(&file); }, &round->steps[k]))
                return false;
        return true;
    };

    const std::function<bool()> units[] = {
        [&] {
            return Timed([&] { return CopyFileW(locked.c_str(), copy.c_str(), TRUE) != 0; },
                         &round->copy);
        },
        [&] {
            return Timed(
                [&] {
                    return DecryptLockedFile(locked.c_str(), uint32_t(locked.rfind(L'\\') + 1)) ==
                           RC_OK;
                },
                &round->decrypt);
        },
        [&] { return steps(0, 1); },
        [&] { return steps(1, kStepCount); },
    };
    for (size_t k = 0; k < 4; ++k)
        if (!units[(first + k) % 4]())
            return false;
    return true;
}

bool RemoveOutputs(const LockedSet& set)
{
    bool all = true;
    for (const std::wstring& output : set.outputs)
        all = DeleteFileW(output.c_str()) && DeleteFileW((output + L".copy").c_str()) &&
              DeleteFileW((output + L".steps").c_str()) && all;
    return all;
}

} // namespace

bool MeasureDecryption(const LockedSet& set, Layout layout, int rounds, DecryptionTimes* times)
{
    *times = {};
    for (const Step& step : kSteps)
        times->steps.push_back({layout == Layout::kPlain ? step.plain : step.trailer, {}});
    for (int r = -1; r < rounds; ++r) {
        Round round;
        for (size_t i = 0; i < set.locked.size(); ++i)
            if (!OneFile(set, i, size_t(r + 1) + i, &round))
                return false;
        if (!RemoveOutputs(set))
            return false;
        if (r < 0)
            continue; // the warm-up pass
        times->copy.push_back(round.copy);
        times->decrypt.push_back(round.decrypt);
        for (size_t k = 0; k < kStepCount; ++k)
            times->steps[k].seconds.push_back(round.steps[k]);
    }
    return true;
}
