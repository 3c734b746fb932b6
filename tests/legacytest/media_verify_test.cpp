#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "legacy_bench_fixture.h"
#include "support/case_file.h"
#include "legacytest/media_verify.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"

namespace {

constexpr uint8_t kRead10 = 0x28;

class MediaVerifyTest : public LegacyBenchTest {};

TEST_F(MediaVerifyTest, CapacityIsReadWithPmiAndAddressAsAskedAndTransfersSizedByItsBlockLength)
{
    Start(OneDrive("", 1001, 4096));
    auto& tap = Tap(Entry(0));
    TestContext& test = Context();
    uint64_t lba = 0x10;
    EXPECT_EQ(QueryCapacity(test, lba, test.blockLength, 1, 0), kCapacityOk);
    EXPECT_EQ(lba, 1000u);
    EXPECT_EQ(test.blockLength, 4096u);
    ASSERT_EQ(tap.Commands().size(), 1u);
    EXPECT_EQ(tap.Commands()[0].cdb, (std::vector<uint8_t>{0x25, 0, 0, 0, 0, 0x10, 0, 0, 1, 0}));
    EXPECT_EQ(tap.Commands()[0].transferLength, 8u);

    EXPECT_EQ(ReadBlocks(test, 0, 64), kReadOk);
    EXPECT_EQ(ReadBlocksInto(test, 64, {}, 3), kReadOk);
    test.workspace.lastLba = 1000;
    EXPECT_EQ(VerifyRandomBlocks(test, test.workspace, 5), 4);
    const auto reads = tap.WithOpcode(kRead10);
    ASSERT_EQ(reads.size(), 7u);
    EXPECT_EQ(reads[0].transferLength, 64u * 4096);
    EXPECT_EQ(reads[1].transferLength, 3u * 4096);
    EXPECT_EQ(reads[2].transferLength, 4096u);
}

TEST_F(MediaVerifyTest, SliceReadsFromItsCursorUpToItsLastBlockOrItsTime)
{
    const std::map<std::string, int> results{{"limit", kSliceLimitReached},
                                             {"time", kSliceTimeUsedUp},
                                             {"failed", kReadStatusFailed},
                                             {"call failed", kReadCallFailed}};
    for (const CaseLine& c : ReadCaseFile("legacy/verify_slices.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/verify_slices.txt", c));
        Start(OneDrive(c[1] == "-" ? "" : c[1], std::stoull(c[0])));
        auto& tap = Tap(Entry(0));
        TestContext& test = Context();
        clock.step = std::stoll(c[5]);
        uint64_t cursor = std::stoull(c[2]);
        EXPECT_EQ(VerifySequentialSlice(test, cursor, std::stoull(c[3]), 64, std::stoi(c[4])), results.at(c[6]));
        EXPECT_EQ(cursor, std::stoull(c[7]));
        std::string reads, failure = "-";
        for (const SeenCommand& read : tap.WithOpcode(kRead10))
            reads += (reads.empty() ? "" : " ") + std::to_string(LoadBe32(read.cdb.data() + 2)) + "+" + std::to_string(read.cdb[8]);
        EXPECT_EQ(reads.empty() ? "-" : reads, c[8]);
        if (const auto& f = test.lastReadFailure)
            failure = std::to_string(f->lba) + "+" + std::to_string(f->blocks) +
                      (f->failingLba ? "@" + std::to_string(*f->failingLba) : "");
        EXPECT_EQ(failure, c[9]);
    }
}

TEST_F(MediaVerifyTest, BlocksBeyond32BitsAreReadWithRead16)
{
    Start(OneDrive("", 0x100000100ull));
    auto& tap = Tap(Entry(0));
    TestContext& test = Context();
    EXPECT_EQ(ReadBlocks(test, 0xFFFFFFF0ull, 32), kReadOk);
    EXPECT_EQ(ReadBlocksInto(test, 0x1000000FFull, {}, 1), kReadOk);
    const auto reads = tap.WithOpcode(0x88);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].cdb, (std::vector<uint8_t>{0x88, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 32, 0, 0}));
    EXPECT_EQ(reads[1].cdb, (std::vector<uint8_t>{0x88, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(tap.WithOpcode(kRead10).empty());
}

TEST_F(MediaVerifyTest, RandomReadsSpreadOverTheMediumLessItsLast100Blocks)
{
    Start(OneDrive("", 20001));
    auto& tap = Tap(Entry(0));
    TestContext& test = Context();
    test.workspace.lastLba = 20000;
    for (int n = 50; n < 1000; n += 50) ASSERT_EQ(VerifyRandomBlocks(test, test.workspace, n), 4);
    const auto reads = tap.WithOpcode(kRead10);
    ASSERT_EQ(reads.size(), 9500u);
    uint32_t lowest = 0xFFFFFFFFu;
    uint32_t highest = 0;
    int lowerHalf = 0;
    for (const SeenCommand& read : reads) {
        const uint32_t lba = LoadBe32(read.cdb.data() + 2);
        lowest = std::min(lowest, lba);
        highest = std::max(highest, lba);
        if (lba < 9950) ++lowerHalf;
        EXPECT_EQ(read.cdb[8], 1);
    }
    EXPECT_LE(highest, 19900u);
    EXPECT_GT(highest, 19800u);
    EXPECT_LT(lowest, 100u);
    EXPECT_NEAR(lowerHalf, 4750, 300);
}

}  // namespace
