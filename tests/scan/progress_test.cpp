// The edges of the bar arithmetic and of the drive denominator, where a
// formula that is right in general goes wrong; fuzz_progress checks every
// other value against exact 128-bit arithmetic.
#include <gtest/gtest.h>

#include "scan/progress.h"

namespace {

const uint64_t kMax = ~uint64_t(0);

struct BarCase {
    const char* what;
    bool folderMode;
    uint64_t processed, total;
    uint32_t filesSeen, filesDecrypted;
    uint32_t position;
};

const BarCase kBarCases[] = {
    {"drive: equal is one past the bar", false, 1000, 1000, 0, 0, 256},
    {"drive: 1 of 1", false, 1, 1, 0, 0, 256},
    {"drive: past the total", false, 1001, 1000, 0, 0, 255},
    {"drive: total 0", false, 0, 0, 0, 0, 255},
    {"drive: total 0, bytes processed", false, 5, 0, 0, 0, 255},
    {"drive: nothing of 1", false, 0, 1, 0, 0, 0},
    {"drive: rounds down", false, 999, 1000, 0, 0, 255},
    {"drive: huge, where processed << 8 wraps", false, kMax / 2, kMax, 0, 0, 127},
    {"drive: huge, one short", false, kMax - 1, kMax, 0, 0, 255},
    {"drive: huge, equal", false, kMax, kMax, 0, 0, 256},
    {"folder: nothing seen yet", true, 1048576, 2 * 1048576, 0, 0, 0},
    {"folder: seen, none decrypted", true, 1048576, 2 * 1048576, 3, 0, 0},
    {"folder: decrypted, none seen", true, 1048576, 2 * 1048576, 0, 1, 0},
    {"folder: half", true, 1048576, 2 * 1048576, 3, 1, 127},
    {"folder: the most before the end", true, kMax - 1048576, kMax, 1, 1, 254},
    {"folder: equal", true, 10, 10, 1, 1, 255},
    {"folder: past the total", true, 11, 10, 1, 1, 255},
};

TEST(BarPosition, Edges)
{
    for (const BarCase& c : kBarCases) {
        ScanCounters counters = {};
        counters.folderMode = c.folderMode;
        counters.processedBytes = c.processed;
        counters.totalBytes = c.total;
        counters.filesSeen = c.filesSeen;
        counters.filesDecrypted = c.filesDecrypted;
        EXPECT_EQ(BarPosition(counters), c.position) << c.what;
    }
}

TEST(DriveDenominator, IsTheUsedSpaceButNeverZero)
{
    EXPECT_EQ(DriveDenominator(true, 1000, 400), 600u);
    EXPECT_EQ(DriveDenominator(true, 1000, 1000), 1u);
    EXPECT_EQ(DriveDenominator(false, 1000, 400), 1u);
    EXPECT_EQ(DriveDenominator(true, 0, 0), 1u);
    EXPECT_EQ(DriveDenominator(true, 1000, 4000), 1u); // quota below the free space
}

} // namespace
