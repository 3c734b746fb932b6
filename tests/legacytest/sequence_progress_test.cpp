#include <gtest/gtest.h>

#include <optional>

#include "legacytest/sequence_progress.h"
#include "support/case_file.h"

namespace {

TEST(TimeTextTest, EstimateAndTimeLeftSayTheSameTime)
{
    for (const CaseLine& c : ReadCaseFile("legacy/time_texts.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/time_texts.txt", c));
        const std::optional<int64_t> seconds = c[0] == "-" ? std::nullopt : std::optional(std::stoll(c[0]));
        EXPECT_EQ(ScanEstimateText(seconds), "Complete Scan of Disk will require " + c[1]);
        EXPECT_EQ(TimeLeftText(seconds), c[2]);
    }
}

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
