// Hangs injected into the simulated drive: what ends them, and that they hold
// up no other command. The other faults are in tests/data/sim/faults.scsi.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "scsi/stop.h"
#include "sim_test_support.h"
#include "support/fake_time.h"

using simtest::RunIn;

namespace {

const std::vector<uint8_t> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kInquiry = {0x12, 0, 0, 0, 36, 0};

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

// The hang clock moved on once the drive has the command brings its
// time-out nearer, however late the hanging thread first reads the clock.
TEST(SimFaults, HangTimeOutCountsFromTheCommandsArrival)
{
    // Time read a while after it is asked for, as by a thread slow to run.
    class LateClock final : public Clock {
    public:
        int64_t Now() override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return time.Now();
        }
        FakeTime time;
    } clock;
    SimDisk disk(simtest::PlainDrive());
    disk.SetHangClock(&clock);
    disk.AddFault(Hang(0x00));
    auto answer = std::async(std::launch::async, [&] { return RunIn(disk, kTestUnitReady, 0, 20); });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    clock.time.AdvanceSeconds(20);
    const bool ended = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) disk.ReleaseHangs();
    EXPECT_TRUE(ended) << "the command outlived its time-out";
    EXPECT_TRUE(answer.get().result.callFailed);
}

TEST(SimFaults, HangingHandleDoesNotBlockOtherCommands)
{
    SimDisk disk(simtest::PlainDrive());
    SimFault hang = Hang(0x00);
    hang.times = 1;
    disk.AddFault(hang);
    std::thread hanging([&] {
        const auto answer = RunIn(disk, kTestUnitReady, 0, 30);
        EXPECT_FALSE(answer.result.callFailed) << "released: the drive answered";
        EXPECT_EQ(answer.result.status, 0x00);
    });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    EXPECT_EQ(RunIn(disk, kInquiry).result.status, 0x00);
    disk.ReleaseHangs();
    hanging.join();
}
