// The bar arithmetic and the drive denominator, alone.
#include <gtest/gtest.h>

#include "scan/progress.h"

namespace {

const uint64_t kMax = ~uint64_t(0);

TEST(DriveBarPosition, IsProcessedTimes256OverTotal)
{
    EXPECT_EQ(DriveBarPosition(0, 1000), 0u);
    EXPECT_EQ(DriveBarPosition(1, 1000), 0u);
    EXPECT_EQ(DriveBarPosition(4, 1000), 1u);
    EXPECT_EQ(DriveBarPosition(500, 1000), 128u);
    EXPECT_EQ(DriveBarPosition(999, 1000), 255u);
    EXPECT_EQ(DriveBarPosition(3, 7), 3u * 256 / 7);
}

TEST(DriveBarPosition, EqualIs256AndPastIs255)
{
    EXPECT_EQ(DriveBarPosition(1000, 1000), 256u);
    EXPECT_EQ(DriveBarPosition(1001, 1000), 255u);
    EXPECT_EQ(DriveBarPosition(1, 1), 256u);
    EXPECT_EQ(DriveBarPosition(0, 0), 255u);
    EXPECT_EQ(DriveBarPosition(5, 0), 255u);
}

TEST(DriveBarPosition, DenominatorOfOne)
{
    EXPECT_EQ(DriveBarPosition(0, 1), 0u);
    EXPECT_EQ(DriveBarPosition(1, 1), 256u);
    EXPECT_EQ(DriveBarPosition(2, 1), 255u);
}

TEST(DriveBarPosition, ExactForHugeSizes)
{
    // The plain product (processed << 8) would wrap here; the result must not.
    EXPECT_EQ(DriveBarPosition(kMax / 2, kMax), 127u);
    EXPECT_EQ(DriveBarPosition(kMax - 1, kMax), 255u);
    EXPECT_EQ(DriveBarPosition(kMax, kMax), 256u);
    EXPECT_EQ(DriveBarPosition(uint64_t(1) << 60, uint64_t(1) << 61), 128u);
    EXPECT_EQ(DriveBarPosition((uint64_t(3) << 60) - 1, uint64_t(1) << 62), 191u);
}

TEST(FolderBarPosition, IsProcessedTimes255OverTotal)
{
    for (uint64_t processed : {0ull, 1ull, 4111ull, 1048576ull, 5000000ull, 123456789ull}) {
        const uint64_t total = processed + 1048576;
        EXPECT_EQ(FolderBarPosition(processed, total), processed * 255 / total) << processed;
    }
    EXPECT_EQ(FolderBarPosition(kMax - 1048576, kMax), 254u);
    EXPECT_EQ(FolderBarPosition(kMax / 2, kMax), 127u);
    EXPECT_EQ(FolderBarPosition(10, 10), 255u);
    EXPECT_EQ(FolderBarPosition(11, 10), 255u);
}

TEST(FolderBarPosition, GrowsWithProcessedAndStaysBelowTheEnd)
{
    uint32_t last = 0;
    for (uint64_t processed = 0; processed < (uint64_t(1) << 40); processed = processed * 3 + 7) {
        const uint32_t position = FolderBarPosition(processed, processed + 1048576);
        EXPECT_GE(position, last);
        EXPECT_LE(position, 254u);
        last = position;
    }
    EXPECT_EQ(last, 254u);
}

TEST(BarPosition, FolderModeWaitsForASeenAndADecryptedFile)
{
    ScanCounters counters = {};
    counters.folderMode = true;
    counters.processedBytes = 1048576;
    counters.totalBytes = 2 * 1048576;
    EXPECT_EQ(BarPosition(counters), 0u);
    counters.filesSeen = 3;
    EXPECT_EQ(BarPosition(counters), 0u);
    counters.filesDecrypted = 1;
    EXPECT_EQ(BarPosition(counters), 127u);
    counters.filesSeen = 0;
    EXPECT_EQ(BarPosition(counters), 0u);
}

TEST(BarPosition, DriveModeUsesTheDriveFormula)
{
    ScanCounters counters = {};
    counters.processedBytes = 10;
    counters.totalBytes = 20;
    EXPECT_EQ(BarPosition(counters), 128u);
    counters.processedBytes = 20;
    EXPECT_EQ(BarPosition(counters), 256u);
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
