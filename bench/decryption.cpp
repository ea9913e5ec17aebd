#include "bench/decryption.h"

#include <windows.h>

#include <functional>
#include <string>

#include "core/decrypt.h"
#include "core/state.h"
#include "bench/measure.h"

namespace {

HANDLE OpenLocked(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenOutput(const std::wstring& path, DWORD disposition)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, disposition,
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

struct Round {
    double copy = 0, decrypt = 0, read = 0, create = 0, copyOver = 0, write = 0;
};

// The four units done for one file, in the order given by `first`.
bool OneFile(const LockedSet& set, Layout layout, size_t i, size_t first, Round* round)
{
    const std::wstring& locked = set.locked[i];
    const std::wstring copy = set.outputs[i] + L".copy";   // the floor's fresh name
    const std::wstring steps = set.outputs[i] + L".steps"; // the steps' output
    const uint32_t trailer = g_key.reference.totalLength;
    static uint8_t head[kBenchHead + kBenchTrailer];

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
        [&] {
            return Timed(
                [&] {
                    HANDLE file = OpenLocked(locked);
                    DWORD got = 0;
                    bool ok = file != INVALID_HANDLE_VALUE;
                    if (ok && trailer != 0)
                        ok = Seek(file, -int64_t(trailer), FILE_END) &&
                             ReadFile(file, head, trailer, &got, nullptr) &&
                             Seek(file, 0, FILE_BEGIN);
                    ok = ok && ReadFile(file, head, kBenchHead, &got, nullptr);
                    CloseHandle(file);
                    return ok;
                },
                &round->read);
        },
        [&] {
            // As the decryptor does: claim the name (in the trailer layout the
            // first name tried is the locked file's own, always taken), copy
            // over it with the claiming handle open, write through that handle.
            HANDLE file = INVALID_HANDLE_VALUE;
            const bool ok =
                Timed(
                    [&] {
                        if (layout == Layout::kTrailer)
                            CloseHandle(OpenOutput(locked, CREATE_NEW));
                        file = OpenOutput(steps, CREATE_NEW);
                        return file != INVALID_HANDLE_VALUE;
                    },
                    &round->create) &&
                Timed([&] { return CopyFileW(locked.c_str(), steps.c_str(), FALSE) != 0; },
                      &round->copyOver) &&
                Timed(
                    [&] {
                        DWORD written = 0;
                        bool done = Seek(file, 0, FILE_BEGIN) &&
                                    WriteFile(file, head, kBenchHead, &written, nullptr);
                        if (done && trailer != 0)
                            done = Seek(file, -int64_t(trailer), FILE_END) && SetEndOfFile(file);
                        return CloseHandle(file) && done;
                    },
                    &round->write);
            return ok;
        },
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
    for (int r = -1; r < rounds; ++r) {
        Round round;
        for (size_t i = 0; i < set.locked.size(); ++i)
            if (!OneFile(set, layout, i, size_t(r + 1) + i, &round))
                return false;
        if (!RemoveOutputs(set))
            return false;
        if (r < 0)
            continue; // the warm-up pass
        times->copy.push_back(round.copy);
        times->decrypt.push_back(round.decrypt);
        times->read.push_back(round.read);
        times->create.push_back(round.create);
        times->copyOver.push_back(round.copyOver);
        times->write.push_back(round.write);
    }
    return true;
}
