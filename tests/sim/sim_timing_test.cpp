// The simulated drive's time: the pace of its medium, and injected hangs
// across threads (when their time-out counts from; that they hold up no other
// command). What the commands answer, and what ends a hang, are in
// tests/data/sim/*.scsi.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "scsi/byte_order.h"
#include "sim/sim_media_pacer.h"
#include "sim_test_support.h"
#include "support/fake_time.h"

namespace {

// A command with a buffer of length bytes of AAh, in or out.
SimResult Send(SimDisk& disk, const std::vector<uint8_t>& cdb, uint32_t length = 512, uint32_t timeOut = 10,
               SimDirection direction = SimDirection::In)
{
    std::vector<uint8_t> buffer(length, 0xAA);
    return disk.Execute(cdb.data(), cdb.size(), direction, buffer.data(), length, timeOut);
}

// READ (10) of 64 blocks from lba.
std::vector<uint8_t> Read64(uint32_t lba)
{
    std::vector<uint8_t> cdb{0x28, 0, 0, 0, 0, 0, 0, 0, 64, 0};
    StoreBe32(cdb.data() + 2, lba);
    return cdb;
}

SimDriveConfig Drive(uint64_t mediaRate, uint32_t latencyMicroseconds = 0)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.blocks = 100000;
    config.media.mediaRate = mediaRate;
    config.media.latencyMicroseconds = latencyMicroseconds;
    return config;
}

// Time that passes only when the drive sleeps, and records how long.
class FakePacer final : public SimMediaPacer {
public:
    int64_t NowNanoseconds() override { return now; }
    void SleepUntilNanoseconds(int64_t deadline) override
    {
        sleeps.push_back(deadline - now);
        if (deadline > now) now = deadline + oversleep;
    }
    int64_t now = 5'000'000'000;
    int64_t oversleep = 0;  // a thread that wakes late
    std::vector<int64_t> sleeps;
};

const std::vector<uint8_t> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};

SimFault Hang(std::optional<uint8_t> opcode)
{
    SimFault fault;
    fault.action = SimFault::Action::Hang;
    fault.opcode = opcode;
    return fault;
}

}  // namespace

TEST(SimMedia, RateAndLatencyPaceTheMediaCommands)
{
    SimDisk disk(Drive(1'000'000, 250));  // 1 MB/s
    FakePacer pacer;
    disk.SetMediaPacer(&pacer);
    EXPECT_EQ(Send(disk, Read64(0), 64 * 512).status, 0x00);
    EXPECT_EQ(Send(disk, {0x2E, 0x02, 0, 0, 0, 0, 0, 0, 2, 0}, 1024, 10, SimDirection::Out).status, 0x00);
    ASSERT_EQ(pacer.sleeps.size(), 2u);
    EXPECT_EQ(pacer.sleeps[0], 250'000 + 32'768'000);  // latency + 32768 bytes at 1 MB/s
    EXPECT_EQ(pacer.sleeps[1], 250'000 + 1'024'000);
    // Other commands are not paced.
    EXPECT_EQ(Send(disk, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).status, 0x00);
    EXPECT_EQ(pacer.sleeps.size(), 2u);
}

// A scan on time takes exactly its bytes at the rate (the surface scan's
// estimate test shows it).
TEST(SimMedia, PacedCommandsAddUpSoTheRateHoldsOverAScan)
{
    // A host thread that wakes late every time loses nothing: the medium reads
    // ahead meanwhile (up to 4 MiB), so 100 reads of 32768 bytes at 10 MB/s
    // still take 0.32768 s.
    SimDisk late(Drive(10'000'000));
    FakePacer slow;
    slow.oversleep = 1'000'000;  // 1 ms late at every wake-up
    late.SetMediaPacer(&slow);
    const int64_t lateStart = slow.now;
    for (uint32_t lba = 0; lba < 64 * 100; lba += 64) Send(late, Read64(lba), 64 * 512);
    EXPECT_LE(slow.now - lateStart, 327'680'000 + 1'000'000);

    // Idle time beyond the read-ahead is not made up: after 10 s away the
    // next 4 MiB come at once, the rest at the rate.
    slow.now += 10'000'000'000;
    const int64_t resume = slow.now;
    for (uint32_t lba = 0; lba < 64 * 200; lba += 64) Send(late, Read64(lba), 64 * 512);
    // 200 x 32768 bytes = 6.5 MB: 4 MiB from the read-ahead, the rest at 10 MB/s.
    EXPECT_NEAR(static_cast<double>(slow.now - resume), (6'553'600.0 - 4'194'304.0) / 10'000'000 * 1e9, 2e6);
}

// The hang clock moved on once the drive has the command brings its
// time-out nearer, however late the hanging thread first reads the clock.
TEST(SimHang, HangTimeOutCountsFromTheCommandsArrival)
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
    auto answer = std::async(std::launch::async, [&] { return Send(disk, kTestUnitReady, 0, 20); });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    clock.time.AdvanceSeconds(20);
    const bool ended = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) disk.ReleaseHangs();
    EXPECT_TRUE(ended) << "the command outlived its time-out";
    EXPECT_TRUE(answer.get().callFailed);
}

TEST(SimHang, HangingHandleDoesNotBlockOtherCommands)
{
    SimDisk disk(simtest::PlainDrive());
    SimFault hang = Hang(0x00);
    hang.times = 1;
    disk.AddFault(hang);
    std::thread hanging([&] {
        const auto answer = Send(disk, kTestUnitReady, 0, 30);
        EXPECT_FALSE(answer.callFailed) << "released: the drive answered";
        EXPECT_EQ(answer.status, 0x00);
    });
    while (disk.CommandsReceived() == 0) std::this_thread::yield();
    EXPECT_EQ(Send(disk, {0x12, 0, 0, 0, 36, 0}).status, 0x00);
    disk.ReleaseHangs();
    hanging.join();
}
