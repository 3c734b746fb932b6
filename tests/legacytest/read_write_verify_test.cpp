#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/read_write_verify.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"

namespace {

using legacytest::CheckCondition;
using legacytest::FixedSense;

constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kWriteVerify10 = 0x2E;

class ReadWriteVerifyTest : public LegacyBenchTest {
protected:
    void SetUp() override
    {
        LegacyBenchTest::SetUp();
        Start(OneDrive("", 1001));
        disk = Sim().Disk(0);
        // Block 7 holds FFh throughout.
        const uint8_t cdb[10] = {kWriteVerify10, 0, 0, 0, 0, 7, 0, 0, 1, 0};
        std::vector<uint8_t> data(512, 0xFF);
        ASSERT_EQ(disk->Execute(cdb, 10, SimDirection::Out, data.data(), 512, 2).status, 0);
        tap = &Tap(Entry(0));
        context = std::make_unique<TestContext>(Entry(0).handle, clock, keyboard);
        context->workspace.output = &output;
    }
    int Pass(uint32_t lba = 7) { return ReadWriteVerifyBlocks(*context, context->workspace, lba, 1, 512); }

    // Answers the nth command with this opcode (counted from 1) after the
    // drive did it, as CHECK CONDITION with the given sense.
    void AfterNth(uint8_t opcode, int nth, std::vector<uint8_t> sense)
    {
        auto seen = std::make_shared<int>(0);
        tap->hook = [this, opcode, nth, seen, sense](ScsiRequest& request, bool& delivered) {
            if (request.Cdb[0] != opcode || ++*seen != nth) return false;
            delivered = tap->inner->Execute(request);
            return CheckCondition(request, delivered, sense);
        };
    }

    SimDisk* disk = nullptr;
    legacytest::TapDevice* tap = nullptr;
    std::unique_ptr<TestContext> context;
};

TEST_F(ReadWriteVerifyTest, BlockOfFFhIsWrittenAs00hThenAsFFhAgain)
{
    EXPECT_EQ(Pass(), kRwvOk);
    const auto commands = tap->Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].cdb, (std::vector<uint8_t>{kRead10, 0, 0, 0, 0, 7, 0, 0, 1, 0}));
    EXPECT_EQ(commands[1].cdb, (std::vector<uint8_t>{kWriteVerify10, 0x02, 0, 0, 0, 7, 0, 0, 1, 0}));
    EXPECT_EQ(commands[1].dataOut, std::vector<uint8_t>(512, 0x00));
    EXPECT_EQ(commands[2].cdb, commands[1].cdb);
    EXPECT_EQ(commands[2].dataOut, std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(disk->ReadMedium(7, 1), std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(output.Text(), "");
}

TEST_F(ReadWriteVerifyTest, OldDataGoBackWhenTheNewDataWriteFails)
{
    AfterNth(kWriteVerify10, 1, FixedSense(kSenseKeyMediumError, 0x0C));
    EXPECT_EQ(Pass(), kRwvFailed);
    const auto writes = tap->WithOpcode(kWriteVerify10);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].dataOut, std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(disk->ReadMedium(7, 1), std::vector<uint8_t>(512, 0xFF));
    EXPECT_TRUE(output.Contains("WRITE VERIFY DATA ERROR of new data at LBA=00000007"));
}

TEST_F(ReadWriteVerifyTest, OldDataGoBackAfterAMiscompareOrAFailedCall)
{
    // A spot that no longer takes data: the verify miscompares.
    disk->MarkUnwritable(7);
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_TRUE(output.Contains("error during write verify of new data at LBA=00000007"));

    tap->Forget();
    disk->AddFault({SimFault::Action::CallFails, kWriteVerify10, 0, 0, 0, 1});
    EXPECT_EQ(Pass(8), kRwvFailed);
    const auto writes = tap->WithOpcode(kWriteVerify10);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].dataOut, std::vector<uint8_t>(512, 0x00));
    EXPECT_NE(streams.Log().find("error during write verify of new data at LBA=8"), std::string::npos);
    EXPECT_TRUE(output.Contains("Ioctl FAILED. Target Status = 00"));
}

TEST_F(ReadWriteVerifyTest, ReadEndingInRecoveredErrorIsAcceptedButAWriteSoEndingIsNot)
{
    AfterNth(kRead10, 1, FixedSense(kSenseKeyRecoveredError, 0x17, 0x01));
    EXPECT_EQ(Pass(), kRwvOk);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_EQ(disk->ReadMedium(7, 1), std::vector<uint8_t>(512, 0xFF));

    tap->Forget();
    AfterNth(kWriteVerify10, 1, FixedSense(kSenseKeyRecoveredError, 0x17, 0x01));
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_EQ(disk->ReadMedium(7, 1), std::vector<uint8_t>(512, 0xFF));
}

TEST_F(ReadWriteVerifyTest, FailedReadWritesNothing)
{
    disk->MarkUnreadable(7);
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_TRUE(tap->WithOpcode(kWriteVerify10).empty());
    EXPECT_TRUE(output.Contains("READ ERROR at LBA=00000007"));

    disk->AddFault({SimFault::Action::CallFails, kRead10});
    EXPECT_EQ(Pass(9), kRwvFailed);
    EXPECT_TRUE(tap->WithOpcode(kWriteVerify10).empty());
    EXPECT_NE(streams.Log().find("error during read at LBA=9"), std::string::npos);
}

TEST_F(ReadWriteVerifyTest, FailedRestoreIsAFailure)
{
    AfterNth(kWriteVerify10, 2, FixedSense(kSenseKeyHardwareError, 0x44));
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_TRUE(output.Contains("HARD WRITE VERIFY ERROR of old data at LBA=00000007"));
}

}  // namespace
