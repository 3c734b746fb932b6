#include <gtest/gtest.h>

#include <optional>

#include "legacy_bench_fixture.h"
#include "sim/sim_disk.h"
#include "sim/sim_sense.h"
#include "support/scripted_device.h"

namespace {

using legacytest::FixedSense;

constexpr uint8_t kReadCapacity = 0x25;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kSendDiagnostic = 0x1D;
constexpr uint8_t kReceiveDiagnostic = 0x1C;

// The format check against a drive whose READ CAPACITY fails and whose
// REQUEST SENSE data follow a script.
class FormatCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        entry.handle = device;
        environment.clock = &clock;
        environment.keyboard = &keyboard;
        device->script = [this](const ScsiRequest& request) {
            ScriptedDevice::Reply reply;
            switch (request.Cdb[0]) {
            case kReadCapacity:
                if (capacityFailures-- > 0) {
                    reply.status = kStatusCheckCondition;
                    reply.sense = FixedSense(kSenseKeyNotReady, 0x04, 0x00);
                } else {
                    reply.data = {0, 0, 0x03, 0xE8, 0, 0, 2, 0};
                }
                break;
            case kRequestSense:
                if (senseFailures-- > 0) {
                    reply.delivered = false;
                } else {
                    reply.data = senses.empty() ? FixedSense(0, 0) : senses.front();
                    if (senses.size() > 1) senses.erase(senses.begin());
                }
                break;
            case kStartStopUnit:
                if (!startWorks) reply.status = kStatusCheckCondition;
                break;
            default: break;
            }
            return reply;
        };
    }

    int Run()
    {
        SubtestSelection selection;
        selection.run[kSubtestFormatCheck] = 1;
        return RunTestSequence(selection, entry, &output, environment);
    }

    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceEntry entry;
    legacytest::FakeClock clock;
    legacytest::ScriptedKeyboard keyboard;
    TestEnvironment environment;
    legacytest::RecordingOutput output;
    StreamCapture streams;
    int capacityFailures = 1000;
    int senseFailures = 0;
    bool startWorks = true;
    std::vector<std::vector<uint8_t>> senses;
};

TEST_F(FormatCheckTest, SenseTableDecidesEveryRow)
{
    struct Row {
        uint8_t key;
        uint8_t asc;
        uint8_t ascq;
        bool passes;
        const char* message;
    };
    const Row rows[] = {
        {0x0, 0x00, 0x00, true, nullptr},
        {0x6, 0x2A, 0x01, false, nullptr},
        {0x2, 0x04, 0x00, false, "DRIVE NOT READY - unreportable cause"},
        {0x2, 0x04, 0x01, false,
         "Drive seems to be becoming ready, but we can't wait! this isn't a drive ready test bucko!"},
        {0x2, 0x04, 0x03, false, "DRIVE NOT READY - manual intervention required"},
        {0x2, 0x04, 0x04, true, nullptr},
        {0x2, 0x3A, 0x00, true, nullptr},
        {0x3, 0x19, 0x00, false, "DEFECT LIST CORRUPT"},
        {0x3, 0x31, 0x00, false, "FORMAT CORRUPT"},
        {0x3, 0x11, 0x00, false, "MEDIUM ERROR"},
        {0x4, 0x44, 0x00, false, "HARDWARE ERROR"},
        {0x5, 0x24, 0x00, false, nullptr},
        // The key is byte 2 whole: ILI with NO SENSE matches no row.
        {0x20, 0x00, 0x00, false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "key " << int{row.key} << " asc " << int{row.asc} << " ascq " << int{row.ascq});
        legacytest::RecordingOutput rowOutput;
        senses = {FixedSense(row.key, row.asc, row.ascq)};
        SubtestSelection selection;
        selection.run[kSubtestFormatCheck] = 1;
        const int result = RunTestSequence(selection, entry, &rowOutput, environment);
        std::string expected = "Begin low level format check\r\n";
        if (row.message) expected += std::string("\r\n") + row.message + "\r\n";
        if (row.passes) expected += "Finished low level format check\r\n";
        EXPECT_EQ(result, row.passes ? 0 : 2);
        EXPECT_EQ(rowOutput.Text(), expected);
    }
}

TEST_F(FormatCheckTest, RequestSenseAsksFor19BytesAndIsTriedTwice)
{
    senseFailures = 1;
    EXPECT_EQ(Run(), 0);
    ASSERT_GE(device->requests.size(), 3u);
    const ScsiRequest& sense = device->requests[1];
    EXPECT_EQ(sense.Cdb[0], kRequestSense);
    EXPECT_EQ(sense.Cdb[4], 19);
    EXPECT_EQ(sense.DataTransferLength, 19u);
    EXPECT_EQ(device->requests[0].Cdb[8], 1) << "READ CAPACITY with PMI";

    legacytest::RecordingOutput second;
    senseFailures = 2;
    SubtestSelection selection;
    selection.run[kSubtestFormatCheck] = 1;
    EXPECT_EQ(RunTestSequence(selection, entry, &second, environment), 2);
    EXPECT_EQ(second.Text(), "Begin low level format check\r\n\r\nRequest sense failed\r\n");
}

TEST_F(FormatCheckTest, FirstResetIsRetriedSilentlyAndASecondEndsTheCheck)
{
    senses = {FixedSense(0x6, 0x29, 0x00)};
    capacityFailures = 1;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(output.Text(), "Begin low level format check\r\nFinished low level format check\r\n");

    legacytest::RecordingOutput second;
    capacityFailures = 1000;
    SubtestSelection selection;
    selection.run[kSubtestFormatCheck] = 1;
    EXPECT_EQ(RunTestSequence(selection, entry, &second, environment), 2);
    EXPECT_EQ(second.Text(), "Begin low level format check\r\n\r\nSenseKey=06, SenseCode=29\r\n");
}

TEST_F(FormatCheckTest, StoppedDriveIsStartedOnce)
{
    senses = {FixedSense(0x2, 0x04, 0x02)};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(output.Text(),
              "Begin low level format check\r\n\r\nSTART UNIT Required\r\nFinished low level format check\r\n");
    const ScsiRequest& start = device->requests.back();
    EXPECT_EQ(std::vector<uint8_t>(start.Cdb, start.Cdb + 6), (std::vector<uint8_t>{kStartStopUnit, 0, 0, 0, 1, 0}));

    startWorks = false;
    legacytest::RecordingOutput second;
    SubtestSelection selection;
    selection.run[kSubtestFormatCheck] = 1;
    EXPECT_EQ(RunTestSequence(selection, entry, &second, environment), 2);
    EXPECT_EQ(second.Text(), "Begin low level format check\r\n\r\nSTART UNIT Required\r\n\r\nSTART UNIT Failure\r\n");
}

class SequenceEngineTest : public LegacyBenchTest {};

TEST_F(SequenceEngineTest, HealthyDriveRunsTheLongPresetToTheEnd)
{
    Start(OneDrive(R"("geometry": {"cylinders": 200, "heads": 4, "sectorsPerTrack": 1000})", 800000));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 0);
    EXPECT_TRUE(outcome.Completed());
    const char* lines[] = {"Finished drive ready test",         "Finished RAM test",
                           "Finished low level format check",   "Finished receive/send diagnostic test",
                           "Finished SMART check",              "Finished physical heads check",
                           "Finished error log pages read",     "Finished random verify",
                           "Finished ID scan",                  "Finished OD scan",
                           "Finished Verify Sect Adj to P & G List", "Finish Scan of Entire Drive",
                           "Finished recheck of error log",     "Finished SMART recheck"};
    for (const char* line : lines) EXPECT_TRUE(output.Contains(std::string(line) + "\r\n")) << line;
    EXPECT_EQ(Sim().Disk(0)->StoredBlocks(), 0u) << "the heads check put every block back";
}

TEST_F(SequenceEngineTest, UnselectedSubtestsLeaveNoText)
{
    Start(OneDrive());
    EXPECT_EQ(Run(Only({kSubtestDriveReady, kSubtestLast100MB}), Entry(0)), 0);
    EXPECT_EQ(output.Text(), "Begin drive read test\r\nFinished drive ready test\r\nBegin OD scan\r\nFinished OD scan\r\n");
}

TEST_F(SequenceEngineTest, DriveNeverReadyEndsTheSequenceAfterThirtySecondsOfAttempts)
{
    Start(OneDrive(R"("notReadyCommands": 1000000)"));
    clock.step = 1;
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 0);
    EXPECT_EQ(output.Count("\r\nTEST UNIT FAILED\r\n"), 30u);
    EXPECT_FALSE(output.Contains("Finished drive ready test"));
    EXPECT_FALSE(output.Contains("Begin RAM test"));
    EXPECT_EQ(outcome.endedBy, kSubtestDriveReady);
    const auto attempts = tap.WithOpcode(0x00);
    EXPECT_EQ(attempts.size(), 30u);
    EXPECT_NE(streams.Log().find("Target Status = 02"), std::string::npos) << "failures are reported";
}

TEST_F(SequenceEngineTest, DriveBecomingReadyPassesAfterItsFailedAttempts)
{
    Start(OneDrive());
    Sim().Disk(0)->SetNotReady(3);
    EXPECT_EQ(Run(Only({kSubtestDriveReady}), Entry(0)), 0);
    EXPECT_EQ(output.Count("TEST UNIT FAILED"), 3u);
    EXPECT_TRUE(output.Contains("Finished drive ready test"));
}

TEST_F(SequenceEngineTest, BufferFailureIsReportedAndTheSequenceGoesOn)
{
    Start(OneDrive(R"("faults": [{"opcode": "0x3B", "senseKey": 5, "asc": "0x24"}])"));
    EXPECT_EQ(Run(Only({kSubtestRam, kSubtestFormatCheck}), Entry(0)), 0);
    EXPECT_EQ(output.Text(),
              "Begin RAM test\r\n\r\nRead/Write Buffer Test Failure\r\nBegin low level format check\r\n"
              "Finished low level format check\r\n");
}

TEST_F(SequenceEngineTest, BufferTestReadsThenWritesBack512BytesOfTheDataBuffer)
{
    Start(OneDrive());
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(Only({kSubtestRam}), Entry(0)), 0);
    const auto commands = tap.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].cdb, (std::vector<uint8_t>{0x3C, 0x02, 0, 0, 0, 0, 0, 0x02, 0x00, 0}));
    EXPECT_EQ(commands[1].cdb, (std::vector<uint8_t>{0x3B, 0x02, 0, 0, 0, 0, 0, 0x02, 0x00, 0}));
    EXPECT_EQ(commands[1].transferLength, 512u);
}

TEST_F(SequenceEngineTest, DiagnosticsRunAsAStepNoStopCutsOff)
{
    Start(OneDrive());
    auto& tap = Tap(Entry(0));
    std::optional<uint8_t> noAbortDuringSelfTest;
    tap.hook = [&](ScsiRequest& request, bool&) {
        if (request.Cdb[0] == kSendDiagnostic) {
            noAbortDuringSelfTest = g_bNoAbort.load();
            g_bStopRequested = 1;  // STOP pressed while the drive tests itself
        }
        return false;
    };
    MarkTestWorkerThread(true);
    bool stopped = false;
    try {
        Run(Only({kSubtestDiagnostics, kSubtestSmartCheck}), Entry(0));
    } catch (const WorkerStopped&) {
        stopped = true;
    }
    MarkTestWorkerThread(false);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(noAbortDuringSelfTest, 1);
    EXPECT_EQ(g_bNoAbort.load(), 0);
    // The results were read back; the stop took the first command after.
    ASSERT_EQ(tap.Commands().size(), 2u);
    EXPECT_EQ(tap.Commands()[0].cdb, (std::vector<uint8_t>{kSendDiagnostic, 0x04, 0, 0, 0, 0}));
    EXPECT_EQ(tap.Commands()[1].cdb, (std::vector<uint8_t>{kReceiveDiagnostic, 0, 0, 0, 0x0C, 0}));
    EXPECT_TRUE(output.Contains("Finished receive/send diagnostic test\r\nBegin SMART check\r\n"));
    EXPECT_EQ(outcome.current, kSubtestSmartCheck);
}

TEST_F(SequenceEngineTest, FailedSelfTestEndsTheSequenceWithThree)
{
    Start(OneDrive(R"("faults": [{"opcode": "0x1D", "senseKey": 4, "asc": "0x3E", "ascq": 3}])"));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 3);
    EXPECT_TRUE(output.Contains("\r\nSendDiag Failure\r\n"));
    EXPECT_FALSE(output.Contains("Begin SMART check"));
    EXPECT_EQ(g_bNoAbort.load(), 0);

    Start(OneDrive(R"("faults": [{"opcode": "0x1C", "action": "callFails"}])"));
    legacytest::RecordingOutput second;
    EXPECT_EQ(RunTestSequence(LongSelection(), Entry(0), &second, environment), 3);
    EXPECT_TRUE(second.Contains("\r\nReceiveDiag Failure\r\n"));
    EXPECT_EQ(g_bNoAbort.load(), 0);
}

TEST_F(SequenceEngineTest, EscapeEndsTheSequenceWithTwoAtItsPollingPoints)
{
    Start(OneDrive());
    keyboard.escapeAt = {1};  // on entry, before anything else
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 2);
    EXPECT_EQ(output.Text(), "");
    EXPECT_FALSE(outcome.Completed());

    // Inside the diagnostics, before RECEIVE DIAGNOSTIC RESULTS: polls are
    // entry, ready attempt, after the format check, before SEND DIAGNOSTIC, then this.
    legacytest::RecordingOutput second;
    keyboard.polls = 0;
    keyboard.escapeAt = {5};
    EXPECT_EQ(RunTestSequence(Only({kSubtestDriveReady, kSubtestDiagnostics}), Entry(0), &second, environment), 2);
    EXPECT_TRUE(second.Contains("Begin receive/send diagnostic test\r\n"));
    EXPECT_FALSE(second.Contains("Finished receive/send"));
    EXPECT_EQ(g_bNoAbort.load(), 0);
}

TEST_F(SequenceEngineTest, EscapeDuringTheLast100MBIsSwallowedButEndsOtherScans)
{
    Start(OneDrive("", 400000));
    clock.step = 1;
    // Polls: entry, after the places of the format check and the
    // diagnostics, after the capacity read (Escape there would end the
    // subtest), then one per slice, where a key waits every time.
    std::vector<int> every(200);
    for (int i = 0; i < 200; ++i) every[static_cast<size_t>(i)] = i + 5;
    keyboard.escapeAt = every;
    EXPECT_EQ(Run(Only({kSubtestLast100MB}), Entry(0)), 0);
    EXPECT_TRUE(output.Contains("Finished OD scan"));

    legacytest::RecordingOutput second;
    keyboard.polls = 0;
    EXPECT_EQ(RunTestSequence(Only({kSubtestFirst300MB}), Entry(0), &second, environment), 2);
    EXPECT_FALSE(second.Contains("Finished ID scan"));
}

TEST_F(SequenceEngineTest, SmallDrivesSkipTheScansTheyHaveNoRoomFor)
{
    Start(OneDrive("", 40001));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(Only({kSubtestLast100MB}), Entry(0)), 0);
    EXPECT_TRUE(tap.WithOpcode(0x28).empty());
    EXPECT_TRUE(output.Contains("Begin OD scan\r\nFinished OD scan\r\n"));

    tap.Forget();
    EXPECT_EQ(Run(Only({kSubtestEntireScan}), Entry(0)), 0);
    // No outer part; the inner 50000 blocks end at the last LBA.
    const auto reads = tap.WithOpcode(0x28);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front().cdb[5], 0);
    EXPECT_TRUE(output.Contains("Complete Scan of Disk will require -4 minutes"));
}

TEST_F(SequenceEngineTest, ScanOfTheEntireDriveEstimatesFromItsEdges)
{
    Start(OneDrive("", 2000001));
    clock.step = 1;
    EXPECT_EQ(Run(Only({kSubtestEntireScan}), Entry(0)), 0);
    EXPECT_TRUE(output.Contains("\r\nComplete Scan of Disk will require "));
    EXPECT_TRUE(output.Contains("Finish Scan of Entire Drive"));
}

TEST_F(SequenceEngineTest, DriveNotPresentShowsCapacityZeroInTheFirstSurfaceSubtest)
{
    Start(OneDrive(R"("faults": [{"opcode": "0x25", "action": "callFails"}])"));
    EXPECT_EQ(Run(Only({kSubtestRandomVerify, kSubtestFirst300MB}), Entry(0)), 7);
    EXPECT_EQ(output.Text(),
              "Begin random verify\r\n\r\nQueryCapacity Failure\r\n\r\nCapacity ZERO, drive probably not present\r\n");
}

TEST_F(SequenceEngineTest, UnreadableBlocksEndTheScanThatMeetsThem)
{
    Start(OneDrive(R"("unreadableBlocks": [399000])", 400001));
    EXPECT_EQ(Run(Only({kSubtestFirst300MB, kSubtestLast100MB}), Entry(0)), 8);
    EXPECT_TRUE(output.Contains("\r\nRead Entire Disk Test Error, ID pre calc\r\n"));
    EXPECT_FALSE(output.Contains("Begin OD scan"));

    legacytest::RecordingOutput second;
    EXPECT_EQ(RunTestSequence(Only({kSubtestLast100MB}), Entry(0), &second, environment), 9);
    EXPECT_TRUE(second.Contains("\r\nRead OD Scan Test Error\r\n"));

    legacytest::RecordingOutput third;
    EXPECT_EQ(RunTestSequence(Only({kSubtestEntireScan}), Entry(0), &third, environment), 11);
    EXPECT_TRUE(third.Contains("\r\nOD Scan of 25MB error, OD pre calc\r\n"));
}

TEST_F(SequenceEngineTest, FourKilobyteBlockDrivePassesEveryScan)
{
    Start(OneDrive(R"("geometry": {"cylinders": 300, "heads": 2, "sectorsPerTrack": 1000})", 600000, 4096));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 0);
    EXPECT_TRUE(outcome.Completed());
    for (const auto& read : tap.WithOpcode(0x28)) {
        const uint32_t blocks = (uint32_t{read.cdb[7]} << 8) | read.cdb[8];
        ASSERT_EQ(read.transferLength, blocks * 4096u);
    }
    for (const auto& write : tap.WithOpcode(0x2E)) ASSERT_EQ(write.transferLength, 4096u);
}

}  // namespace
