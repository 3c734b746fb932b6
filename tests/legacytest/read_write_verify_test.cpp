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
constexpr uint8_t kTaskSetFull = 0x28;

// How a drive answers one command in place of doing it, or after doing it.
struct Answer {
    const char* name;
    bool driveDoesIt;             // the command reaches the medium first
    uint8_t status;               // GOOD with driveDoesIt: a short transfer
    std::vector<uint8_t> sense;
    bool delivered = true;
};

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

    // Answers the commands with this opcode whose number (counted from 1)
    // is in `which` as `answer` says.
    void Give(uint8_t opcode, std::vector<int> which, Answer answer)
    {
        auto seen = std::make_shared<int>(0);
        tap->hook = [this, opcode, which, seen, answer](ScsiRequest& request, bool& delivered) {
            if (request.Cdb[0] != opcode) return false;
            const int nth = ++*seen;
            if (std::find(which.begin(), which.end(), nth) == which.end()) return false;
            if (answer.driveDoesIt) {
                delivered = tap->inner->Execute(request);
            } else {
                request.DataResidual = request.DataTransferLength;
                delivered = answer.delivered;
            }
            if (!answer.sense.empty()) return CheckCondition(request, delivered, answer.sense);
            request.ScsiStatus = answer.status;
            if (answer.status == kStatusGood) request.DataResidual = request.DataTransferLength / 2;
            return true;
        };
    }
    std::vector<uint8_t> Block7() const { return disk->ReadMedium(7, 1); }

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
    EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(output.Text(), "");
}

TEST_F(ReadWriteVerifyTest, NothingIsWrittenUnlessTheOldDataWereReadWhole)
{
    const Answer answers[] = {
        {"BUSY", false, kStatusBusy, {}},
        {"RESERVATION CONFLICT", false, kStatusReservationConflict, {}},
        {"TASK SET FULL", false, kTaskSetFull, {}},
        {"RECOVERED ERROR, no data", false, 0, FixedSense(kSenseKeyRecoveredError, 0x17, 0x01)},
        {"GOOD, half the data", true, kStatusGood, {}},
        {"MEDIUM ERROR", true, 0, FixedSense(kSenseKeyMediumError, 0x11)},
        {"call failed", false, 0, {}, false},
    };
    for (const Answer& answer : answers) {
        SCOPED_TRACE(answer.name);
        tap->Forget();
        Give(kRead10, {1}, answer);
        EXPECT_EQ(Pass(), kRwvFailed);
        EXPECT_TRUE(tap->WithOpcode(kWriteVerify10).empty());
        EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));
    }
    EXPECT_TRUE(output.Contains("READ ERROR at LBA=00000007"));
    EXPECT_TRUE(output.Contains("error during read at LBA=00000007\r\n\r\nIoctl FAILED. Target Status = 08"));
    EXPECT_NE(streams.Log().find("error during read at LBA=7"), std::string::npos);
}

TEST_F(ReadWriteVerifyTest, ReadEndingInRecoveredErrorWithItsDataIsAcceptedButAWriteSoEndingIsNot)
{
    Give(kRead10, {1}, {"recovered", true, 0, FixedSense(kSenseKeyRecoveredError, 0x17, 0x01)});
    EXPECT_EQ(Pass(), kRwvOk);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));

    tap->Forget();
    Give(kWriteVerify10, {1}, {"recovered", true, 0, FixedSense(kSenseKeyRecoveredError, 0x17, 0x01)});
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));
}

TEST_F(ReadWriteVerifyTest, OldDataGoBackWhenTheNewDataWriteFails)
{
    Give(kWriteVerify10, {1}, {"medium", true, 0, FixedSense(kSenseKeyMediumError, 0x0C)});
    EXPECT_EQ(Pass(), kRwvFailed);
    const auto writes = tap->WithOpcode(kWriteVerify10);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].dataOut, std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));
    EXPECT_TRUE(output.Contains("WRITE VERIFY DATA ERROR of new data at LBA=00000007"));

    // A spot that no longer takes data: the verify miscompares.
    tap->Forget();
    disk->MarkUnwritable(8);
    EXPECT_EQ(Pass(8), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_TRUE(output.Contains("error during write verify of new data at LBA=00000008"));
}

TEST_F(ReadWriteVerifyTest, RestoreIsTriedAgainAfterATransientFailure)
{
    const Answer answers[] = {
        {"BUSY", false, kStatusBusy, {}},
        {"UNIT ATTENTION", false, 0, FixedSense(kSenseKeyUnitAttention, 0x29)},
        {"call failed", false, 0, {}, false},
    };
    for (const Answer& answer : answers) {
        SCOPED_TRACE(answer.name);
        tap->Forget();
        clock.slept = 0;
        Give(kWriteVerify10, {2}, answer);
        EXPECT_EQ(Pass(), kRwvOk);
        EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 3u);
        EXPECT_EQ(Block7(), std::vector<uint8_t>(512, 0xFF));
        EXPECT_EQ(clock.slept.load(), kRestorePauseMilliseconds);
    }
}

TEST_F(ReadWriteVerifyTest, OldDataThatCannotGoBackAreReportedWithTheirLbaAndFailThePass)
{
    std::vector<int> restores;
    for (int i = 2; i <= 1 + kRestoreAttempts; ++i) restores.push_back(i);
    Give(kWriteVerify10, restores, {"hardware", false, 0, FixedSense(kSenseKeyHardwareError, 0x44)});
    EXPECT_EQ(Pass(), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 1u + kRestoreAttempts);
    EXPECT_TRUE(output.Contains("HARD WRITE VERIFY ERROR of old data at LBA=00000007"));
    EXPECT_TRUE(output.Contains("\r\nUSER DATA NOT RESTORED at LBA=00000007: the block holds test data. Its old data:\r\n"
                                "0000: ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff\r\n"));
    EXPECT_TRUE(output.Contains("\r\n01f0: ff ff"));
}

}  // namespace
