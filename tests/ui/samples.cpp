#include "tests/ui/samples.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/locker.h"

namespace {

std::wstring SubfolderFor(const std::wstring& folder, int i)
{
    std::wstring where = folder;
    for (int level = 0; level < i % 3; ++level) {
        where += L"\\level" + std::to_wstring(level);
        CreateDirectoryW(where.c_str(), nullptr);
    }
    return where;
}

} // namespace

std::vector<Sample> LockPlainTree(const std::wstring& folder, const Bytes& keystream, int count,
                                  size_t size)
{
    std::vector<Sample> samples;
    for (int i = 0; i < count; ++i) {
        const std::wstring where = SubfolderFor(folder, i);
        const std::wstring name = L"document" + std::to_wstring(i) + L".txt";
        const Bytes original = RandomBytes(size + size_t(i) * 7, uint32_t(1000 + i));
        WritePlainLocked(where, name, original, keystream);
        samples.push_back({where + L"\\" + name, original});
    }
    return samples;
}

std::vector<Sample> LockTrailerTree(const std::wstring& folder, const Bytes& keystream,
                                    uint32_t head, const Bytes& body, int count)
{
    std::vector<Sample> samples;
    for (int i = 0; i < count; ++i) {
        const std::wstring where = SubfolderFor(folder, i);
        const Bytes original = RandomBytes(20000 + size_t(i) * 13, uint32_t(2000 + i));
        WriteBytes(where + L"\\report" + std::to_wstring(i) + L".doc",
                   LockWithTrailer(original, keystream, head, body));
        samples.push_back({where + L"\\report" + std::to_wstring(i) + L".decrypted01.doc", original});
    }
    return samples;
}

void ExpectRecovered(const std::vector<Sample>& samples)
{
    for (const Sample& sample : samples) {
        ASSERT_TRUE(Exists(sample.output)) << Narrow(sample.output);
        EXPECT_EQ(ReadBytes(sample.output), sample.original) << Narrow(sample.output);
    }
}
