#include <gtest/gtest.h>

#include <optional>

#include "legacytest/sequence_progress.h"

namespace {

// Estimates round to the nearest minute and never go below nothing.
struct TimeCase {
    std::optional<int64_t> seconds;
    const char* estimate;  // after "Complete Scan of Disk will require "
    const char* timeLeft;
};

class TimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTest, EstimateAndTimeLeftSayTheSameTime)
{
    EXPECT_EQ(ScanEstimateText(GetParam().seconds), std::string("Complete Scan of Disk will require ") + GetParam().estimate);
    EXPECT_EQ(TimeLeftText(GetParam().seconds), GetParam().timeLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Times, TimeTextTest,
    ::testing::Values(TimeCase{std::nullopt, "a time not known yet: no read rate has been measured", "not known yet"},
                      TimeCase{-5, "0 minutes", "0:00"}, TimeCase{29, "0 minutes", "0:29"},
                      TimeCase{90, "2 minutes", "1:30"}, TimeCase{3569, "59 minutes", "59:29"},
                      TimeCase{3570, "1 hours and 0 minutes", "59:30"},
                      TimeCase{45296, "12 hours and 35 minutes", "12:34:56"}));

TEST(SequenceProgressTest, RateAndTimeLeftComeFromWhatThisRunsScansRead)
{
    SequenceProgress progress;
    progress.Select(4);
    progress.Begin(8);
    progress.Count(4000, 512, true);
    progress.Scanned(0, 0);
    EXPECT_FALSE(progress.Read().BytesPerSecond());
    EXPECT_FALSE(progress.Read().SecondsLeft()) << "nothing measured yet";
    EXPECT_EQ(RateText(progress.Read().BytesPerSecond()), "");

    progress.Scanned(1000 * 512, 2000);
    progress.Advance(1000);
    SequenceProgress::Reading reading = progress.Read();
    EXPECT_EQ(RateText(reading.BytesPerSecond()), "0.3 MB/s");
    EXPECT_EQ(reading.SecondsLeft(), 6) << "3000 blocks at 500 a second";
    EXPECT_DOUBLE_EQ(reading.RunFraction(), 0.25 / 4);

    // Random reads are no scan: they count, but have no time of their own.
    progress.Done();
    progress.Begin(7);
    progress.Count(9500, 512, false);
    progress.Advance(950);
    reading = progress.Read();
    EXPECT_FALSE(reading.SecondsLeft());
    EXPECT_DOUBLE_EQ(reading.RunFraction(), 1.1 / 4);
    EXPECT_EQ(reading.SecondsFor(500), 1) << "the rate stays this run's";
}

}  // namespace
