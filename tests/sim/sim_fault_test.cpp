// Faults a bench injects: sense, failed calls, hangs, not-ready drives.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "scsi/stop.h"
#include "sim_test_support.h"

using simtest::RunIn;

namespace {

const std::vector<uint8_t> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kInquiry = {0x12, 0, 0, 0, 36, 0};
const std::vector<uint8_t> kReadCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};

SimFault SenseFault(std::optional<uint8_t> opcode, uint8_t key, uint8_t asc, uint8_t ascq)
{
    SimFault fault;
    fault.action = SimFault::Action::Sense;
    fault.opcode = opcode;
    fault.senseKey = key;
    fault.asc = asc;
    fault.ascq = ascq;
    return fault;
}

SimFault Hang(std::optional<uint8_t> opcode)
{
    SimFault fault;
    fault.action = SimFault::Action::Hang;
    fault.opcode = opcode;
    return fault;
}

// Clears the stop flag around a test that sets it.
struct StopFlagGuard {
    StopFlagGuard() { g_bStopRequested = 0; }
    ~StopFlagGuard() { g_bStopRequested = 0; }
};

}  // namespace

TEST(SimFaults, SenseFaultHitsOnlyItsCommand)
{
    SimDisk disk(simtest::PlainDrive());
    disk.AddFault(SenseFault(0x25, 0x04, 0x44, 0x00));

    const auto failed = RunIn(disk, kReadCapacity, 8);
    EXPECT_EQ(failed.result.status, 0x02);
    EXPECT_EQ(failed.SenseKey(), 0x04);
    EXPECT_EQ(failed.Asc(), 0x44);
    EXPECT_EQ(failed.Ascq(), 0x00);
    EXPECT_TRUE(failed.data.empty());
    EXPECT_EQ(RunIn(disk, kReadCapacity, 8).result.status, 0x02);  // every time
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
}

TEST(SimFaults, TimesAndAfterCommandsBoundAFault)
{
    SimDisk disk(simtest::PlainDrive());
    SimFault firstTwo = SenseFault(0x00, 0x02, 0x04, 0x00);
    firstTwo.times = 2;
    disk.AddFault(firstTwo);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x02);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x02);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);

    SimDisk later(simtest::PlainDrive());
    SimFault afterThree = SenseFault(std::nullopt, 0x03, 0x11, 0x00);  // any command
    afterThree.afterCommands = 3;
    afterThree.times = 1;
    later.AddFault(afterThree);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RunIn(later, kInquiry).result.status, 0x00) << i;
    const auto fourth = RunIn(later, kInquiry);
    EXPECT_EQ(fourth.result.status, 0x02);
    EXPECT_EQ(fourth.Asc(), 0x11);
    EXPECT_EQ(RunIn(later, kInquiry).result.status, 0x00);
    EXPECT_EQ(later.CommandsReceived(), 5u);
}

TEST(SimFaults, UnitAttentionComesBeforeAnInjectedSense)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.unitAttentionAtStart = true;
    SimDisk disk(config);
    SimFault once = SenseFault(0x00, 0x04, 0x40, 0x80);
    once.times = 1;
    disk.AddFault(once);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).Asc(), 0x29);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).Asc(), 0x40);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
}

TEST(SimFaults, CallFailureLeavesNoStatusAndNoStateChange)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.unitAttentionAtStart = true;
    SimDisk disk(config);
    SimFault fails;
    fails.action = SimFault::Action::CallFails;
    fails.opcode = 0x00;
    fails.times = 1;
    disk.AddFault(fails);

    const auto answer = RunIn(disk, kTestUnitReady, 0);
    EXPECT_TRUE(answer.result.callFailed);
    EXPECT_EQ(answer.result.status, 0x00);
    EXPECT_TRUE(answer.result.sense.empty());
    // The command never reached the unit: the unit attention is still there.
    EXPECT_EQ(disk.PendingUnitAttentions(), 1u);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).Asc(), 0x29);
}

TEST(SimFaults, NotReadyDriveFromTheConfiguration)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.notReadyCommands = 3;
    SimDisk disk(config);
    for (int i = 0; i < 3; ++i) {
        const auto answer = RunIn(disk, kTestUnitReady, 0);
        EXPECT_EQ(answer.SenseKey(), 0x02) << i;
        EXPECT_EQ(answer.Asc(), 0x04) << i;
        EXPECT_EQ(answer.Ascq(), 0x01) << i;
    }
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
}

TEST(SimFaults, HangEndsWhenTheStopFlagIsSet)
{
    StopFlagGuard guard;
    SimDisk disk(simtest::PlainDrive());
    disk.AddFault(Hang(0x00));

    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        g_bStopRequested = 1;
    });
    const auto start = std::chrono::steady_clock::now();
    const auto answer = RunIn(disk, kTestUnitReady, 0, /*timeOut=*/3600);
    stopper.join();
    EXPECT_TRUE(answer.result.callFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(SimFaults, HangEndsAtTheRequestTimeOut)
{
    StopFlagGuard guard;
    SimDisk disk(simtest::PlainDrive());
    simtest::SteppingClock clock;
    disk.SetHangClock(&clock);
    disk.AddFault(Hang(std::nullopt));
    const int64_t before = clock.Now();
    EXPECT_TRUE(RunIn(disk, kInquiry, 36, /*timeOut=*/20).result.callFailed);
    // At least the time-out passed on the drive's clock.
    EXPECT_GE(clock.Now() - before, 20);
}

TEST(SimFaults, HangingHandleDoesNotBlockOtherCommands)
{
    StopFlagGuard guard;
    SimDisk disk(simtest::PlainDrive());
    SimFault hang = Hang(0x00);
    hang.times = 1;
    disk.AddFault(hang);
    std::thread hanging([&] { EXPECT_TRUE(RunIn(disk, kTestUnitReady, 0, 3600).result.callFailed); });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    g_bStopRequested = 1;
    hanging.join();
}
