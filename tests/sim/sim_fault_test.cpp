// Hangs injected into the simulated drive, across threads: when their time-out
// counts from, and that they hold up no other command. What ends them, and the
// other faults, are in tests/data/sim/faults.scsi.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

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

}  // namespace

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
