#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kReadDefectData = 0x37;
constexpr uint32_t kHeads = 4;
constexpr uint32_t kSectors = 1000;

uint32_t LbaOf(uint32_t cylinder, uint32_t head, uint32_t sector) { return (cylinder * kHeads + head) * kSectors + sector; }

uint32_t ReadLba(const legacytest::SeenCommand& read)
{
    return LoadBe32(read.cdb.data() + 2);
}

// A drive of 100 cylinders with `count` grown defects at sector 500 of
// cylinders 1, 2, ..., each with its sector unreadable when `unreadable`.
std::string DefectDrive(int count, int unreadable, const std::string& extra = "")
{
    std::string defects;
    std::string blocks;
    for (int i = 0; i < count; ++i) {
        defects += (i ? ", " : "") + std::string("[") + std::to_string(i + 1) + ", 2, 500]";
        if (i < unreadable) blocks += (i ? ", " : "") + std::to_string(LbaOf(static_cast<uint32_t>(i + 1), 2, 500));
    }
    std::string fields = R"("geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000}, "defects": {"grown": [)" +
                         defects + "]}, \"unreadableBlocks\": [" + blocks + "]";
    if (!extra.empty()) fields += ", " + extra;
    return OneDrive(fields, 400000);
}

class DefectAdjacentTest : public LegacyBenchTest {
protected:
    int RunAdjacent() { return Run(Only({kSubtestDefectAdjacent}), Entry(0)); }
};

TEST_F(DefectAdjacentTest, TwentyOneFailedReadsAreToleratedAndTheTwentySecondEndsIt)
{
    Start(DefectDrive(21, 21));
    EXPECT_EQ(RunAdjacent(), 0);
    EXPECT_EQ(output.Count("read block Failure"), 21u);
    EXPECT_TRUE(output.Contains("Finished Verify Sect Adj to P & G List"));

    Start(DefectDrive(30, 30));
    legacytest::RecordingOutput second;
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(RunTestSequence(Only({kSubtestDefectAdjacent}), Entry(0), &second, environment), 10);
    EXPECT_EQ(second.Count("read block Failure"), 22u);
    EXPECT_EQ(second.Count("Sector Adjacent to P&G List Failure\n"), 22u);
    EXPECT_EQ(tap.WithOpcode(kRead10).size(), 22u);
    EXPECT_FALSE(second.Contains("Finished Verify"));
}

TEST_F(DefectAdjacentTest, ThreeBlocksAroundEachDefectAreReadFromTheSectorBefore)
{
    Start(OneDrive(R"("geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000},
                      "defects": {"primary": [[3, 1, 0], [5, 0, 300]], "grown": [[7, 3, 999]]})",
                   400000));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(RunAdjacent(), 0);
    ASSERT_EQ(tap.WithOpcode(kReadDefectData).size(), 1u);
    const auto reads = tap.WithOpcode(kRead10);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(ReadLba(reads[0]), LbaOf(3, 1, 1)) << "a first sector is verified from sector 1 of its track";
    EXPECT_EQ(ReadLba(reads[1]), LbaOf(5, 0, 299)) << "the whole sector field, not its low byte";
    EXPECT_EQ(ReadLba(reads[2]), LbaOf(7, 3, 998));
    for (const auto& read : reads) EXPECT_EQ(read.cdb[8], 3);
}

TEST_F(DefectAdjacentTest, WholeTrackDefectsAreSkipped)
{
    Start(OneDrive(R"("geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000},
                      "defects": {"grown": [[2, 1, 4294967295], [7, 3, 999]]})",
                   400000));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(RunAdjacent(), 0);
    const auto reads = tap.WithOpcode(kRead10);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(ReadLba(reads[0]), LbaOf(7, 3, 998));
    EXPECT_EQ(output.Text(), "Begin Verify Sect Adj to P & G List\r\nFinished Verify Sect Adj to P & G List\r\n");
}

TEST_F(DefectAdjacentTest, DefectListTheDriveWillNotGiveIsAnEmptyList)
{
    Start(DefectDrive(5, 5, R"("faults": [{"opcode": "0x37", "senseKey": 3, "asc": "0x19"}])"));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(RunAdjacent(), 0);
    EXPECT_TRUE(tap.WithOpcode(kRead10).empty());
    EXPECT_TRUE(tap.WithOpcode(0x1D).empty());
    EXPECT_EQ(output.Text(), "Begin Verify Sect Adj to P & G List\r\nFinished Verify Sect Adj to P & G List\r\n");
}

TEST_F(DefectAdjacentTest, DefectThatDoesNotTranslateEndsTheSubtest)
{
    Start(DefectDrive(3, 0, R"("faults": [{"opcode": "0x1D", "senseKey": 5, "asc": "0x26"}])"));
    EXPECT_EQ(RunAdjacent(), 10);
    EXPECT_TRUE(output.Contains("\r\nSector Adjacent to P&G List Failure. \r\n"
                                "\r\nConverting chs to lba Failure, 1, 2, 1f3, defect(*8)=4\r\n"));
}

TEST_F(DefectAdjacentTest, DefectsAtTheEndOfTheMediumAreReadOnlyUpToIt)
{
    // The last block is LBA 399999 = cylinder 99, head 3, sector 999.
    Start(OneDrive(R"("geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000},
                      "defects": {"grown": [[99, 3, 999]]})",
                   400000));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(RunAdjacent(), 0);
    const auto reads = tap.WithOpcode(kRead10);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(ReadLba(reads[0]), 399998u);
    EXPECT_EQ(reads[0].cdb[8], 2);
    EXPECT_FALSE(output.Contains("Failure"));
}

}  // namespace
