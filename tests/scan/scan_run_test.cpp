#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/monotonic_clock.h"
#include "scan/scan_run.h"
#include "scan/scan_test_support.h"
#include "support/blocking_device.h"

using namespace scantest;

namespace {

bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(ScanRunTest, EachDriveHasItsOwnStopAndAHeldDriveHoldsNoOtherUp)
{
    SimDrive healthy(300000, 512, 1024 * 1024);
    SimDrive held(300000, 512, 1024 * 1024);
    SimDrive damaged(300000, 512, 1024 * 1024, {777, 299999});
    auto holding = std::make_shared<BlockingDevice>(held.tap, 0x28);
    std::vector<ScanTarget> targets{healthy.Target(), held.Target(), damaged.Target()};
    targets[1].handle = holding;
    SteadyMonotonicClock clock;
    ScanRecorder recorder;
    ScanRun run(targets, {{}, {}, MethodChoice::Read}, clock, recorder);
    run.Start();

    ASSERT_TRUE(WaitFor([&] { return !run.Running(0) && !run.Running(2) && holding->blocked; }))
        << "the held drive stalls no other";
    EXPECT_TRUE(run.Running(1));
    EXPECT_EQ(run.Result(0).outcome, ScanOutcome::Passed);
    EXPECT_EQ(run.Result(2).outcome, ScanOutcome::Failed);
    EXPECT_EQ(run.Result(2).failures.size(), 2u);

    // Its own stop, taken once the drive lets its command go.
    run.Stop(1);
    holding->Release();
    run.Wait();
    EXPECT_EQ(run.Result(1).outcome, ScanOutcome::Stopped);
    EXPECT_EQ(run.Result(1).resumeLba, 2048u) << "the command in progress ended, nothing after it was sent";
    EXPECT_EQ(recorder.Of(1).ended, 1u);
}

}  // namespace
