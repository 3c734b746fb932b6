// Every selected drive at once: each drive's stop, report and outcome are
// its own, a hung or failing drive holds up nobody else, and what a stopped
// sequence changed is put back on every drive.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "legacy_bench_fixture.h"
#include "legacytest/exceptions_page.h"
#include "legacytest/parallel_test_run.h"
#include "legacytest/read_write_verify.h"
#include "scsi/byte_order.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"
#include "support/fake_time.h"
#include "support/sim_mode_page.h"

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kSendDiagnostic = 0x1D;
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kWriteVerify10 = 0x2E;

const std::string kGeometry = R"("geometry": {"cylinders": 4, "heads": 2, "sectorsPerTrack": 150})";

class ParallelTestRunTest : public LegacyBenchTest {
protected:
    // Drives 0 to count-1 on bus 0, each with `extra` fields, all selected.
    void StartDrives(int count, const std::string& extra = "", uint64_t blocks = 1200)
    {
        std::string devices;
        for (int target = 0; target < count; ++target)
            devices += (target ? "," : "") + BusDrive(target, extra, blocks);
        Start("{\"buses\": 1, \"devices\": [" + devices + "]}");
        for (int slot = 0; slot < count; ++slot) SetDeviceSelected(Entry(slot), true);
    }
    bool StartRun(const SubtestSelection& selection)
    {
        // The run that is refused keeps writing to the outputs it has.
        std::vector<std::unique_ptr<legacytest::RecordingOutput>> fresh;
        const bool started = run.Start(
            [&fresh](size_t, const DeviceEntry&) {
                fresh.push_back(std::make_unique<legacytest::RecordingOutput>());
                return fresh.back().get();
            },
            selection, environment);
        if (started) outputs = std::move(fresh);
        return started;
    }
    // Until the condition holds, a few milliseconds at a time; false after
    // some seconds, so a test that waits on it fails instead of hanging.
    static bool WaitUntil(const std::function<bool()>& condition)
    {
        for (int i = 0; i < 4000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return condition();
    }
    bool WaitEnded(size_t index)
    {
        return WaitUntil([&] { return !run.DriveAt(index).Running(); });
    }
    const DriveRunOutcome& Outcome(size_t index) const { return run.DriveAt(index).Outcome(); }
    bool Ended(size_t index) const { return outputs[index]->Contains("End of legacy test(s) for drive"); }

    std::vector<std::unique_ptr<legacytest::RecordingOutput>> outputs;
    FakeTime hangTime;
    ParallelTestRun run;  // after the outputs and the clock its workers use
};

// Drive 0 is held in TEST UNIT READY, drive 1 in its self-test (a step no
// stop cuts off), drive 2 in TEST UNIT READY; then STOP on drive 0's row,
// or STOP for all.
struct StopCase {
    const char* name;
    bool all;
    std::array<bool, 3> stopped;
};

class ParallelStopTest : public ParallelTestRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ParallelStopTest, AStopReachesItsDrivesAtTheirNextCommandAndNoOther)
{
    StartDrives(3);
    CommandGate first(kTestUnitReady);
    CommandGate selfTest(kSendDiagnostic);
    CommandGate third(kTestUnitReady);
    Gated(Tap(Entry(0)), first);
    Gated(Tap(Entry(1)), selfTest);
    Gated(Tap(Entry(2)), third);
    ASSERT_TRUE(StartRun(Only({kSubtestDriveReady, kSubtestDiagnostics, kSubtestErrorLog})));
    ASSERT_TRUE(first.WaitInside() && selfTest.WaitInside() && third.WaitInside());
    EXPECT_FALSE(StartRun(Only({kSubtestDriveReady}))) << "one run at a time";

    if (GetParam().all)
        run.RequestStop();
    else
        run.RequestStop(0);
    EXPECT_TRUE(run.DriveAt(0).Stopping());
    EXPECT_EQ(run.DriveAt(2).Stopping(), GetParam().all);
    EXPECT_TRUE(run.InNoAbortStep());
    // Drive 1's self-test holds back no other drive's stop.
    first.Release();
    ASSERT_TRUE(WaitEnded(0));
    EXPECT_TRUE(run.DriveAt(1).Running());
    selfTest.Release();
    third.Release();
    run.Wait();

    for (size_t drive = 0; drive < 3; ++drive) {
        SCOPED_TRACE(drive);
        EXPECT_EQ(Outcome(drive).stopped, GetParam().stopped[drive]);
        EXPECT_EQ(Ended(drive), !GetParam().stopped[drive]);
        EXPECT_EQ(Outcome(drive).sequence.Completed(), !GetParam().stopped[drive]);
        EXPECT_EQ(StateOf(Entry(static_cast<int>(drive))), DeviceState::Selected);
    }
    // Drive 1 took the stop at the first command after its self-test.
    EXPECT_TRUE(outputs[1]->Contains("Finished receive/send diagnostic test"));
    EXPECT_EQ(run.Report().stopped, true);
    EXPECT_FALSE(run.Running());
    EXPECT_EQ(g_bStopRequested.load(), 0) << "a stop of all ends with the run";
    EXPECT_EQ(g_bNoAbort.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stops, ParallelStopTest,
                         ::testing::Values(StopCase{"OneDrive", false, {true, false, false}},
                                           StopCase{"AllDrives", true, {true, true, true}}),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// Drive 0 is healthy, drive 1 hangs in its first read, drive 2 cannot read
// block 700, drive 3 cannot be opened: drive 0's report is the one a run of
// it alone gives, and nobody waits for the hung drive.
TEST_F(ParallelTestRunTest, ATroubledDriveHoldsUpNoOtherAndLeavesTheirReportsAsTheirOwn)
{
    Start("{\"buses\": 1, \"devices\": [" + BusDrive(0, "", 1200) + "," + BusDrive(1, "", 1200) + "," +
          BusDrive(2, R"("unreadableBlocks": [700])", 1200) + "," + BusDrive(3) + "]}");
    SetDeviceSelected(Entry(0), true);
    const SubtestSelection selection = Only({kSubtestDriveReady, kSubtestFormatCheck, kSubtestFirst300MB});
    legacytest::RecordingOutput alone;
    SequenceOutcome aloneOutcome;
    {
        RunDrives drives = RunDrives::Selected();
        TestOneDrive(Entry(0), drives, &alone, selection, environment, [&] { return &aloneOutcome; });
    }
    for (int slot = 1; slot < 4; ++slot) SetDeviceSelected(Entry(slot), true);
    Entry(3).handle = nullptr;
    Entry(3).path = "\\\\.\\physicaldrive9";
    SimDisk& hung = *Sim().Disk(1);
    hung.SetHangClock(&hangTime);
    hung.AddFault(SimFault{.action = SimFault::Action::Hang, .opcode = kRead10});
    // The hang clock moves on only once the drive holds the read: a time-out
    // counts from when the command was sent.
    const auto reading = [&hung] {
        for (const auto& cdb : hung.RecentCdbs())
            if (cdb[0] == kRead10) return true;
        return false;
    };
    ASSERT_TRUE(StartRun(selection));
    // Should the test end early, the drive answers, so the run can end.
    struct Answer {
        SimDisk& disk;
        ~Answer()
        {
            disk.ClearFaults();
            disk.ReleaseHangs();
        }
    } answer{hung};
    ASSERT_TRUE(WaitUntil(reading)) << "drive 1 never sent its read";
    ASSERT_TRUE(WaitEnded(0) && WaitEnded(2)) << "a drive waited for the hung one";
    EXPECT_TRUE(Ended(0) && Ended(2));
    EXPECT_TRUE(run.Running()) << "drive 1 is still in its read";
    hangTime.AdvanceSeconds(100000);
    ASSERT_TRUE(WaitEnded(1)) << "the read outlived its time-out";
    run.Wait();

    EXPECT_EQ(outputs[0]->Text(), alone.Text());
    EXPECT_TRUE(Outcome(0).sequence.Completed());
    EXPECT_FALSE(Outcome(1).stopped);
    EXPECT_EQ(Outcome(1).sequence.result, kSubtestFirst300MB);
    EXPECT_TRUE(outputs[1]->Contains("Read Entire Disk Test Error, ID pre calc"));
    EXPECT_EQ(Outcome(2).sequence.result, kSubtestFirst300MB);
    EXPECT_TRUE(outputs[2]->Contains("failing LBA 700"));
    EXPECT_TRUE(run.DriveAt(3).DeviceError());
    const LegacyRunReport report = run.Report();
    EXPECT_FALSE(report.stopped);
    EXPECT_TRUE(report.deviceError);
    ASSERT_EQ(report.drives.size(), 3u) << "the drive that cannot be opened has no sequence";
    EXPECT_EQ(report.drives[2].path, "\\\\.\\physicaldrive2");
    EXPECT_NE(streams.Log().find("Invalid device: \\\\.\\physicaldrive9"), std::string::npos);
}

TEST_F(ParallelTestRunTest, EscapeOnTheConsoleEndsEveryDrivesSequence)
{
    StartDrives(3);
    keyboard.escapeAt = {1};
    ASSERT_TRUE(StartRun(Only({kSubtestDriveReady})));
    run.Wait();
    for (size_t drive = 0; drive < 3; ++drive) {
        EXPECT_EQ(Outcome(drive).sequence.result, kSequenceEscape) << drive;
        EXPECT_FALSE(outputs[drive]->Contains("Begin drive read test")) << drive;
    }
}

// The fault-and-stop soak: the long suite on every drive at once, run after
// run, on drives with random defects, log pages and readiness, with faults
// the drives get over, stops of one drive or of all at random commands, and
// writes the drive did but whose answer was lost. Every block and every mode
// page of every drive is as it was before the run.
// KESTRION_SOAK_RUNS=N runs N of them.
TEST_F(ParallelTestRunTest, FaultsAndStopsLeaveEveryDrivesDataAndSettingsAsTheyWere)
{
    using Action = SimFault::Action;
    constexpr int kDrives = 3;
    // Fewer failures in a row than the attempts to put data and settings back:
    // a drive that never answers again cannot have them back (the report says so).
    constexpr int kTransientFailures = std::min(kRestoreAttempts, kPageRestoreAttempts) - 1;
    constexpr uint8_t kOpcodes[] = {0x00, 0x03, 0x1A, 0x15, 0x1D, 0x1C, 0x25, 0x28, 0x2E, 0x37, 0x3B, 0x3C, 0x4D};
    const SimFault kFaults[] = {
        {.action = Action::Sense, .senseKey = kSenseKeyNotReady, .asc = 0x04, .ascq = 0x01},
        {.action = Action::Sense, .senseKey = kSenseKeyMediumError, .asc = 0x11},
        {.action = Action::Sense, .senseKey = kSenseKeyHardwareError, .asc = 0x44},
        {.action = Action::Sense, .senseKey = kSenseKeyIllegalRequest, .asc = 0x24},
        {.action = Action::Sense, .senseKey = kSenseKeyUnitAttention, .asc = 0x29},
        {.action = Action::Sense, .senseKey = kSenseKeyAbortedCommand, .asc = 0x47},
        {.action = Action::Status, .status = kSimStatusBusy},
        {.action = Action::Status, .status = kSimStatusReservationConflict},
        {.action = Action::Status, .status = kSimStatusTaskSetFull},
        {.action = Action::CallFails},
        {.action = Action::Hang},
        {.action = Action::Recovered, .asc = 0x17},
        {.action = Action::ShortTransfer, .transferBytes = 100},
    };
    // A hang's time-out, however long, passes in a few polls.
    legacytest::FakeClock hangs;
    hangs.step = 500;
    const char* asked = std::getenv("KESTRION_SOAK_RUNS");
    const uint64_t runs = asked ? std::strtoull(asked, nullptr, 10) : 150;
    uint64_t stoppedDrives = 0;
    for (uint64_t seed = 1; seed <= runs; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937_64 random(seed);
        const auto below = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
        const char* ppc[] = {"supported", "rejected", "ignored"};
        std::string fields = kGeometry + R"(, "defects": {"grown": [[)" + std::to_string(below(4)) + ", " +
                             std::to_string(below(2)) + ", " + std::to_string(below(150)) + "]]}";
        fields += R"(, "logs": {"ppc": ")" + std::string(ppc[below(3)]) + "\"";
        if (below(2)) fields += R"(, "pages": [2, 3, 5, 6, "0x0D", "0x2F", "0x30"])";
        if (below(10) == 0) fields += R"(, "smartTrip": 3)";
        fields += "}";
        if (below(10) == 0) fields += ", \"notReadyCommands\": " + std::to_string(1 + below(5));
        if (below(5) == 0) fields += R"(, "descriptorSense": true)";
        if (below(5) == 0) fields += R"(, "unitAttention": true)";
        ClearDeviceTable();
        StartDrives(kDrives, fields);
        std::vector<std::vector<uint8_t>> media;
        std::vector<std::vector<uint8_t>> pages;
        const int stopAllOn = below(4) == 0 ? static_cast<int>(below(kDrives)) : -1;
        for (int drive = 0; drive < kDrives; ++drive) {
            SimDisk& disk = *Sim().Disk(drive);
            disk.SetHangClock(&hangs);
            // User data where the heads check writes: sector 0 of each head.
            for (const uint32_t lba : {0u, 150u}) {
                std::vector<uint8_t> data(512);
                for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
                uint8_t cdb[10] = {kWriteVerify10, 0, 0, 0, 0, 0, 0, 0, 1, 0};
                StoreBe32(cdb + 2, lba);
                disk.Execute(cdb, 10, SimDirection::Out, data.data(), 512, 2);
            }
            media.push_back(disk.ReadMedium(0, 1200));
            pages.push_back(simpage::All(disk));
            for (size_t budget = below(kTransientFailures + 1); budget > 0;) {
                SimFault fault = kFaults[below(std::size(kFaults))];
                fault.opcode = kOpcodes[below(std::size(kOpcodes))];
                fault.times = static_cast<uint32_t>(1 + below(budget));
                fault.afterCommands = disk.CommandsReceived() + below(below(2) ? 300 : 3000);
                budget -= *fault.times;
                disk.AddFault(fault);
            }
            // Most stops in the first commands, where the SMART check
            // changes its page and the heads check writes.
            const size_t stopAt = below(3) == 0 ? 0 : 1 + below(below(2) ? 60 : 3000);
            const size_t lostWrite = below(6) == 0 ? 1 + below(4) : 0;
            auto counts = std::make_shared<std::pair<size_t, size_t>>();  // commands, writes
            auto& tap = Tap(Entry(drive));
            tap.hook = [this, &tap, drive, stopAt, stopAllOn, lostWrite, counts](ScsiRequest& request, bool& delivered) {
                if (++counts->first == stopAt)
                    drive == stopAllOn ? run.RequestStop() : run.RequestStop(static_cast<size_t>(drive));
                if (request.Cdb[0] != kWriteVerify10 || ++counts->second != lostWrite) return false;
                tap.inner->Execute(request);
                request.ScsiStatus = 0;
                delivered = false;
                return true;
            };
        }
        ASSERT_TRUE(StartRun(LongSelection()));
        run.Wait();
        for (int drive = 0; drive < kDrives; ++drive) {
            SimDisk& disk = *Sim().Disk(drive);
            disk.ClearFaults();
            stoppedDrives += Outcome(static_cast<size_t>(drive)).stopped ? 1 : 0;
            EXPECT_EQ(disk.ReadMedium(0, 1200), media[static_cast<size_t>(drive)]) << "drive " << drive;
            EXPECT_EQ(simpage::All(disk), pages[static_cast<size_t>(drive)]) << "drive " << drive;
            EXPECT_FALSE(Outcome(static_cast<size_t>(drive)).sequence.settingsLeftChanged);
        }
    }
    EXPECT_GT(stoppedDrives, runs) << "the stops came while the drives were in work";
}

}  // namespace
