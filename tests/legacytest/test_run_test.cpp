#include <gtest/gtest.h>

#include <optional>

#include "legacy_bench_fixture.h"
#include "legacytest/test_run.h"
#include "platform/stop_signals.h"
#include "sim/sim_disk.h"
#include "support/signal_stop.h"
#include "support/sim_mode_page.h"

namespace {

constexpr uint8_t kModeSelect6 = 0x15;
constexpr uint8_t kWriteVerify10 = 0x2E;
constexpr uint8_t kTestUnitReady = 0x00;

class TestRunTest : public LegacyBenchTest {};

TEST_F(TestRunTest, SelectedDrivesAreTestedInTableOrderBetweenTheirRunnerLines)
{
    Start(Bench(1, Disk(0, 0) + "," + Disk(0, 1) + "," + Disk(0, 2)));
    LegacyRunReport report;
    EXPECT_EQ(RunLegacyTests(&output, LongSelection(), environment, &report), 0);
    EXPECT_TRUE(report.drives.empty()) << "nothing selected, nothing run";
    SetDeviceSelected(Entry(0), true);
    SetDeviceSelected(Entry(2), true);
    DeviceState stateDuringRun = DeviceState::NotSelected;
    auto& tap = Tap(Entry(2));
    tap.hook = [&](ScsiRequest&, bool&) {
        stateDuringRun = StateOf(Entry(2));
        return false;
    };
    EXPECT_EQ(RunLegacyTests(&output, Only({kSubtestDriveReady}), environment, &report), 0);
    EXPECT_EQ(output.Text(),
              "Begin legacy test(s) for drive physicaldrive0\r\nBegin drive read test\r\nFinished drive ready test\r\n"
              "End of legacy test(s) for drive physicaldrive0\r\n"
              "Begin legacy test(s) for drive physicaldrive2\r\nBegin drive read test\r\nFinished drive ready test\r\n"
              "End of legacy test(s) for drive physicaldrive2\r\n");
    EXPECT_EQ(stateDuringRun, DeviceState::UnderTest);
    EXPECT_EQ(StateOf(Entry(2)), DeviceState::Selected);
    ASSERT_EQ(report.drives.size(), 2u);
    EXPECT_EQ(report.drives[1].path, "\\\\.\\physicaldrive2");
    EXPECT_TRUE(report.drives[1].sequence.Completed());
}

TEST_F(TestRunTest, DriveWithoutAPathOrThatCannotBeOpenedEndsTheRun)
{
    Start(Bench(1, Disk(0, 0) + "," + Disk(0, 1)));
    SetDeviceSelected(Entry(0), true);
    SetDeviceSelected(Entry(1), true);
    Entry(0).handle = nullptr;
    Entry(0).path.clear();
    g_bStopRequested = 1;
    LegacyRunReport report;
    EXPECT_EQ(RunLegacyTests(&output, Only({kSubtestDriveReady}), environment, &report), 0);
    EXPECT_EQ(streams.Log(), "NULL device name\n");
    EXPECT_EQ(output.Text(), "");
    EXPECT_TRUE(report.deviceError);
    EXPECT_EQ(g_bStopRequested.load(), 0);

    // A handle closed since discovery is opened again and kept.
    Entry(0).path = "\\\\.\\physicaldrive0";
    EXPECT_EQ(RunLegacyTests(&output, Only({kSubtestDriveReady}), environment), 0);
    EXPECT_TRUE(Entry(0).handle);
    EXPECT_TRUE(output.Contains("End of legacy test(s) for drive physicaldrive1"));
}

// How STOP reaches the run: the button raises the flag itself; SIGINT,
// SIGTERM and SIGHUP come through the program's stop signal guard.
class StopRequestTest : public TestRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopRequestTest, StopEndsTheRunAtTheNextCommandAndLeavesNoSettingChanged)
{
    Start(Bench(1, BusDrive(0, R"("geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000})", 400000) +
                       "," + BusDrive(1)));
    SetDeviceSelected(Entry(0), true);
    SetDeviceSelected(Entry(1), true);
    SimDisk& disk = *Sim().Disk(0);
    const std::vector<uint8_t> before = simpage::Current(disk, 0x1C);
    auto& tap = Tap(Entry(0));
    const int signal = GetParam();
    std::optional<StopSignals> signals;
    if (signal != 0) signals.emplace();
    // The stop comes while the heads check writes changed data, after the
    // SMART check changed the page.
    LegacyTestRun run;
    bool asked = false;
    tap.hook = [&](ScsiRequest& request, bool&) {
        if (request.Cdb[0] != kWriteVerify10 || asked) return false;
        asked = true;
        if (signal == 0) {
            run.RequestStop();
            EXPECT_TRUE(run.Stopping()) << "the command in the drive ends only by itself";
        } else {
            EXPECT_TRUE(SignalAndWaitForStop(signal));
        }
        return false;
    };
    ASSERT_TRUE(run.Start(&output, QuickSelection(), environment));
    run.Wait();
    EXPECT_FALSE(run.Stopping());
    EXPECT_TRUE(run.Report().stopped);
    ASSERT_EQ(run.Report().drives.size(), 1u);
    EXPECT_TRUE(run.Report().drives[0].stopped);
    EXPECT_EQ(run.Report().drives[0].sequence.current, kSubtestPhysicalHeads);
    EXPECT_FALSE(output.Contains("End of legacy test(s)"));
    EXPECT_FALSE(output.Contains("physicaldrive1"));
    // The block the pass changed holds its old data, and the page is back.
    EXPECT_EQ(tap.WithOpcode(kWriteVerify10).size(), 2u);
    EXPECT_EQ(disk.StoredBlocks(), 0u);
    EXPECT_EQ(simpage::Current(disk, 0x1C), before);
    EXPECT_EQ(tap.WithOpcode(kModeSelect6).size(), 2u);
    EXPECT_EQ(g_bStopRequested.load(), 0);
    EXPECT_EQ(g_bNoAbort.load(), 0);
    EXPECT_EQ(StateOf(Entry(0)), DeviceState::Selected);
    EXPECT_FALSE(IsTestWorkerThread()) << "only the worker acts on a stop";
}

INSTANTIATE_TEST_SUITE_P(Requests, StopRequestTest, ::testing::Values(0, SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("StopButton")
                                                    : "SIG" + std::string(sigabbrev_np(info.param));
                         });

// A run owns the drives selected at its start and its selection until it is
// done with them.
TEST_F(TestRunTest, TheRunOwnsItsDrivesAndSelection)
{
    Start(Bench(1, Disk(0, 0) + "," + Disk(0, 1) + "," + Disk(0, 2)));
    SetDeviceSelected(Entry(0), true);
    SetDeviceSelected(Entry(1), true);
    CommandGate gate(kTestUnitReady);
    Gated(Tap(Entry(0)), gate);
    SubtestSelection selection = Only({kSubtestDriveReady, kSubtestFormatCheck});
    LegacyTestRun run;
    run.RequestStop();
    EXPECT_EQ(g_bStopRequested.load(), 0) << "no worker, nothing to stop";
    std::atomic<bool> runningWhenFinished{true};
    ASSERT_TRUE(run.Start(&output, selection, environment, [&] { runningWhenFinished = run.Running(); }));
    ASSERT_TRUE(gate.WaitInside());
    selection = Only({kSubtestDriveReady});  // the dialog edits the selection meanwhile
    // Neither the drive under test nor the one waiting its turn can be taken
    // from the run; a drive selected now does not join it.
    EXPECT_FALSE(SetDeviceSelected(Entry(0), false));
    EXPECT_FALSE(SetDeviceSelected(Entry(1), false));
    EXPECT_TRUE(SetDeviceSelected(Entry(2), true));
    EXPECT_EQ(StateOf(Entry(0)), DeviceState::UnderTest);
    EXPECT_EQ(StateOf(Entry(1)), DeviceState::Selected);
    EXPECT_FALSE(run.Start(&output, QuickSelection(), environment)) << "one run at a time";
    gate.Release();
    run.Wait();
    EXPECT_EQ(run.Report().drives.size(), 2u);
    EXPECT_FALSE(runningWhenFinished) << "the callback comes after the run";
    EXPECT_EQ(output.Count("Finished low level format check"), 2u) << "the selection the run started with";
    EXPECT_FALSE(output.Contains("physicaldrive2"));
    EXPECT_TRUE(SetDeviceSelected(Entry(0), false)) << "the user's again";
    EXPECT_EQ(StateOf(Entry(0)), DeviceState::NotSelected);

    // A stop that came after the worker's last command does not reach the
    // next run (drives 1 and 2 now).
    g_bStopRequested = 1;
    legacytest::RecordingOutput again;
    ASSERT_TRUE(run.Start(&again, Only({kSubtestDriveReady}), environment));
    run.Wait();
    EXPECT_TRUE(again.Contains("End of legacy test(s) for drive physicaldrive2"));
}

TEST(DrivePathForReportTest, CatalogPrefixIsRemoved)
{
    EXPECT_EQ(DrivePathForReport("\\\\.\\physicaldrive3", "\\\\.\\"), "physicaldrive3");
    EXPECT_EQ(DrivePathForReport("/dev/sg2", "/dev/"), "sg2");
    EXPECT_EQ(DrivePathForReport("/dev/sg2", ""), "sg2");
    EXPECT_EQ(DrivePathForReport("sg2", "/dev/"), "sg2");
}

}  // namespace
