#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/read_write_verify.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"

namespace {

using Action = SimFault::Action;

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
        // A hang's time-out passes in a few polls.
        hangClock.step = 1;
        disk->SetHangClock(&hangClock);
        tap = &Tap(Entry(0));
        Context();
    }
    int Pass(uint32_t lba = 7) { return ReadWriteVerifyBlocks(*context, context->workspace, lba, 1, 512); }

    // The fault, acting on the nth command of the next pass (0: its read,
    // 1: the new data, 2 on: the old data) and, without `times`, on every
    // command from there.
    void Inject(SimFault fault, uint64_t nth)
    {
        disk->ClearFaults();
        fault.afterCommands = disk->CommandsReceived() + nth;
        disk->AddFault(fault);
    }
    std::vector<uint8_t> Block7() const { return disk->ReadMedium(7, 1); }

    SimDisk* disk = nullptr;
    legacytest::FakeClock hangClock;
    legacytest::TapDevice* tap = nullptr;
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

// A fault on the nth command of a pass on block 7 (0: its read, 1: the new
// data, 2 on: the old data): what the pass returns, the writes it sends,
// whether block 7 holds its FFh again, and the pauses before retries.
struct FaultCase {
    const char* name;
    SimFault fault;
    uint64_t nth;
    int result;
    size_t writes;
    bool restored;
    int64_t slept;
};

TEST_F(ReadWriteVerifyTest, NothingIsWrittenUnlessReadWholeAndTheOldDataGoBackAfterTransientFailures)
{
    const FaultCase cases[] = {
        // Nothing is written unless the old data were read whole.
        {"BUSY", {.action = Action::Status, .opcode = kRead10, .status = kSimStatusBusy}, 0, kRwvFailed, 0, true, 0},
        {"RESERVATION CONFLICT", {.action = Action::Status, .opcode = kRead10, .status = kSimStatusReservationConflict},
         0, kRwvFailed, 0, true, 0},
        {"TASK SET FULL", {.action = Action::Status, .opcode = kRead10, .status = kSimStatusTaskSetFull}, 0, kRwvFailed,
         0, true, 0},
        {"RECOVERED ERROR, no data", {.action = Action::Recovered, .opcode = kRead10, .transferBytes = 0}, 0,
         kRwvFailed, 0, true, 0},
        {"GOOD, half the data", {.action = Action::ShortTransfer, .opcode = kRead10, .transferBytes = 256}, 0,
         kRwvFailed, 0, true, 0},
        {"MEDIUM ERROR", {.action = Action::Sense, .opcode = kRead10, .senseKey = kSenseKeyMediumError, .asc = 0x11}, 0,
         kRwvFailed, 0, true, 0},
        {"call failed", {.action = Action::CallFails, .opcode = kRead10}, 0, kRwvFailed, 0, true, 0},
        {"hang", {.action = Action::Hang, .opcode = kRead10}, 0, kRwvFailed, 0, true, 0},
        // A read ending in RECOVERED ERROR with its data is taken; a write so ending is not.
        {"read RECOVERED", {.action = Action::Recovered, .opcode = kRead10, .times = 1}, 0, kRwvOk, 2, true, 0},
        {"write RECOVERED", {.action = Action::Recovered, .opcode = kWriteVerify10, .times = 1}, 1, kRwvFailed, 2, true,
         0},
        // The new data's write fails: the old data go back.
        {"new data MEDIUM ERROR",
         {.action = Action::Sense, .opcode = kWriteVerify10, .senseKey = kSenseKeyMediumError, .asc = 0x0C, .times = 1},
         1, kRwvFailed, 2, true, 0},
        // The old data's write is tried again after a failure that passes.
        {"restore BUSY", {.action = Action::Status, .times = 1, .status = kSimStatusBusy}, 2, kRwvOk, 3, true,
         kRestorePauseMilliseconds},
        {"restore UNIT ATTENTION",
         {.action = Action::Sense, .senseKey = kSenseKeyUnitAttention, .asc = 0x29, .times = 1}, 2, kRwvOk, 3, true,
         kRestorePauseMilliseconds},
        {"restore call failed", {.action = Action::CallFails, .times = 1}, 2, kRwvOk, 3, true, kRestorePauseMilliseconds},
        {"restore hang", {.action = Action::Hang, .times = 1}, 2, kRwvOk, 3, true, kRestorePauseMilliseconds},
        // Old data that cannot go back (last: block 7 keeps the test data).
        {"restore HARDWARE ERROR",
         {.action = Action::Sense, .opcode = kWriteVerify10, .senseKey = kSenseKeyHardwareError, .asc = 0x44}, 2,
         kRwvFailed, 1 + kRestoreAttempts, false, (kRestoreAttempts - 1) * kRestorePauseMilliseconds},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        tap->Forget();
        clock.slept = 0;
        Inject(c.fault, c.nth);
        EXPECT_EQ(Pass(), c.result);
        EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), c.writes);
        EXPECT_EQ(Block7() == std::vector<uint8_t>(512, 0xFF), c.restored);
        EXPECT_EQ(clock.slept.load(), c.slept);
    }
    EXPECT_TRUE(output.Contains("READ ERROR at LBA=00000007"));
    EXPECT_TRUE(output.Contains("error during read at LBA=00000007\r\n\r\nIoctl FAILED. Target Status = 08"));
    EXPECT_NE(streams.Log().find("error during read at LBA=7"), std::string::npos);
    EXPECT_TRUE(output.Contains("WRITE VERIFY DATA ERROR of new data at LBA=00000007"));
    EXPECT_TRUE(output.Contains("HARD WRITE VERIFY ERROR of old data at LBA=00000007"));
    EXPECT_TRUE(output.Contains("\r\nUSER DATA NOT RESTORED at LBA=00000007: the block holds test data. Its old data:\r\n"
                                "0000: ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff\r\n"));
    EXPECT_TRUE(output.Contains("\r\n01f0: ff ff"));
}

TEST_F(ReadWriteVerifyTest, ASpotThatNoLongerTakesDataMiscompares)
{
    disk->MarkUnwritable(8);
    EXPECT_EQ(Pass(8), kRwvFailed);
    EXPECT_EQ(tap->WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_TRUE(output.Contains("error during write verify of new data at LBA=00000008"));
}

}  // namespace
