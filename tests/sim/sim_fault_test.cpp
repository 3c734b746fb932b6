// Faults a bench injects: sense, failed calls, hangs, not-ready drives.
#include <gtest/gtest.h>

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

const std::vector<uint8_t> kReadBlock7 = {0x28, 0, 0, 0, 0, 7, 0, 0, 1, 0};

SimFault Injected(SimFault::Action action, std::optional<uint8_t> opcode)
{
    SimFault fault;
    fault.action = action;
    fault.opcode = opcode;
    return fault;
}

// A drive whose block 7 holds 00 01 02 ... (mod 256).
SimDisk& WithPattern(SimDisk& disk)
{
    std::vector<uint8_t> block(512);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(simtest::RunOut(disk, {0x2E, 0, 0, 0, 0, 7, 0, 0, 1, 0}, block).result.status, 0x00);
    return disk;
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

TEST(SimFaults, StatusWithoutSenseTurnsTheCommandAway)
{
    for (const uint8_t status : {kSimStatusBusy, kSimStatusReservationConflict, kSimStatusTaskSetFull}) {
        SimDriveConfig config = simtest::PlainDrive();
        config.unitAttentionAtStart = true;
        SimDisk disk(config);
        SimFault fault = Injected(SimFault::Action::Status, 0x28);
        fault.status = status;
        fault.times = 1;
        disk.AddFault(fault);
        const auto answer = RunIn(disk, kReadBlock7);
        EXPECT_EQ(answer.result.status, status);
        EXPECT_TRUE(answer.result.sense.empty());
        EXPECT_EQ(answer.result.dataMoved, 0u);
        // The command never entered the task set: the unit attention waits.
        EXPECT_EQ(disk.PendingUnitAttentions(), 1u);
        EXPECT_EQ(RunIn(disk, kReadBlock7).Asc(), 0x29);
        EXPECT_EQ(RunIn(disk, kReadBlock7).result.status, 0x00);
    }
}

TEST(SimFaults, CompletionFaultsMoveOnlyTheDataTheySay)
{
    struct Case {
        SimFault::Action action;
        std::optional<uint32_t> bytes;
        uint8_t status;
        uint32_t arrived;
    };
    const Case cases[] = {
        {SimFault::Action::ShortTransfer, 100, 0x00, 100},
        {SimFault::Action::ShortTransfer, 0, 0x00, 0},
        {SimFault::Action::Recovered, std::nullopt, 0x02, 512},
        {SimFault::Action::Recovered, 256, 0x02, 256},
    };
    for (const Case& c : cases) {
        SimDisk disk(simtest::PlainDrive());
        SimFault fault = Injected(c.action, 0x28);
        fault.transferBytes = c.bytes;
        fault.asc = 0x17;
        fault.ascq = 0x01;
        fault.times = 1;
        disk.AddFault(fault);
        std::vector<uint8_t> buffer(512, 0xAA);
        const SimResult result = WithPattern(disk).Execute(kReadBlock7.data(), kReadBlock7.size(), SimDirection::In,
                                                           buffer.data(), 512, 10);
        const std::string label = std::to_string(c.bytes.value_or(512));
        EXPECT_EQ(result.status, c.status) << label;
        EXPECT_EQ(result.dataInLength, c.arrived) << label;
        EXPECT_EQ(result.dataMoved, c.arrived) << label;
        for (size_t i = 0; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], i < c.arrived ? static_cast<uint8_t>(i) : 0xAA) << label << " byte " << i;
        if (c.status == 0x02) {
            EXPECT_EQ(result.sense[2] & 0x0F, 0x01) << "RECOVERED ERROR";
            EXPECT_EQ(result.sense[12], 0x17);
        }
        EXPECT_EQ(RunIn(disk, kReadBlock7).data.size(), 512u) << "the fault fired once";
    }

    // A short transfer on any command waits for one with more data-in than it lets through.
    SimDisk disk(simtest::PlainDrive());
    SimFault anyCommand = Injected(SimFault::Action::ShortTransfer, std::nullopt);
    anyCommand.transferBytes = 36;
    anyCommand.times = 1;
    disk.AddFault(anyCommand);
    EXPECT_EQ(RunIn(disk, kTestUnitReady, 0).result.status, 0x00);
    EXPECT_EQ(RunIn(disk, kInquiry, 36).data.size(), 36u);
    EXPECT_EQ(RunIn(disk, kReadBlock7).data.size(), 36u);
    EXPECT_EQ(RunIn(disk, kReadBlock7).data.size(), 512u);
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

TEST(SimFaults, HangEndsOnlyByTheTimeOutOrTheDriveAnswering)
{
    struct Case {
        std::optional<uint32_t> hangSeconds;
        bool answered;  // else the time-out (20 s) ends it as a failed call
    };
    const Case cases[] = {{std::nullopt, false}, {5, true}, {20, false}, {0, true}};
    // The drive cannot see the program's stop flag.
    StopFlagGuard guard;
    g_bStopRequested = 1;
    for (const Case& c : cases) {
        SimDisk disk(simtest::PlainDrive());
        simtest::SteppingClock clock;
        disk.SetHangClock(&clock);
        SimFault hang = Hang(std::nullopt);
        hang.hangSeconds = c.hangSeconds;
        disk.AddFault(hang);
        const int64_t before = clock.Now();
        const auto answer = RunIn(disk, kInquiry, 36, /*timeOut=*/20);
        const int64_t waited = clock.Now() - before;
        EXPECT_EQ(answer.result.callFailed, !c.answered) << c.hangSeconds.value_or(99);
        EXPECT_EQ(answer.data.size(), c.answered ? 36u : 0u) << "an answered command runs";
        const int64_t expected = c.answered ? *c.hangSeconds : 20;
        EXPECT_GE(waited, expected);
        EXPECT_LE(waited, expected + 3);
    }
}

TEST(SimFaults, HangingHandleDoesNotBlockOtherCommands)
{
    SimDisk disk(simtest::PlainDrive());
    SimFault hang = Hang(0x00);
    hang.times = 1;
    disk.AddFault(hang);
    std::thread hanging([&] {
        const auto answer = RunIn(disk, kTestUnitReady, 0, 3600);
        EXPECT_FALSE(answer.result.callFailed) << "released: the drive answered";
        EXPECT_EQ(answer.result.status, 0x00);
    });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    disk.ReleaseHangs();
    hanging.join();
}
