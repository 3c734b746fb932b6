#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "legacy_bench_fixture.h"
#include "legacytest/sequence_progress.h"
#include "scsi/byte_order.h"
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

// The format check against a drive whose READ CAPACITY fails with sense
// that follows a script. Its REQUEST SENSE, as on real drives, finds that
// sense already cleared.
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
                    reply.status = capacityStatus;
                    if (capacityStatus == kStatusCheckCondition) reply.sense = senses.front();
                    if (senses.size() > 1) senses.erase(senses.begin());
                    reply.delivered = capacityDelivered;
                } else {
                    reply.data = {0, 0, 0x03, 0xE8, 0, 0, 2, 0};
                }
                break;
            case kRequestSense: reply.data = FixedSense(kSenseKeyNoSense, 0); break;
            case kStartStopUnit:
                if (!startWorks) reply.status = kStatusCheckCondition;
                break;
            default: break;
            }
            return reply;
        };
    }

    int Run(legacytest::RecordingOutput& to)
    {
        SubtestSelection selection;
        selection.run[kSubtestFormatCheck] = 1;
        return RunTestSequence(selection, entry, &to, environment);
    }

    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceEntry entry;
    legacytest::FakeClock clock;
    legacytest::ScriptedKeyboard keyboard;
    TestEnvironment environment;
    legacytest::RecordingOutput output;
    StreamCapture streams;
    int capacityFailures = 1000;
    uint8_t capacityStatus = kStatusCheckCondition;
    bool capacityDelivered = true;
    bool startWorks = true;
    std::vector<std::vector<uint8_t>> senses{FixedSense(kSenseKeyNotReady, 0x04, 0x00)};
};

TEST_F(FormatCheckTest, SenseOfTheFailedReadCapacityDecidesEveryRow)
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
        std::string expected = "Begin low level format check\r\n";
        if (row.message) expected += std::string("\r\n") + row.message + "\r\n";
        if (row.passes) expected += "Finished low level format check\r\n";
        EXPECT_EQ(Run(rowOutput), row.passes ? 0 : 2);
        EXPECT_EQ(rowOutput.Text(), expected);
    }
    for (const ScsiRequest& request : device->requests) EXPECT_NE(request.Cdb[0], kRequestSense);
    EXPECT_EQ(device->requests[0].Cdb[8], 1) << "READ CAPACITY with PMI";
}

TEST_F(FormatCheckTest, ReadCapacityFailingWithoutSenseIsNoPass)
{
    for (const uint8_t status : {kStatusBusy, kStatusReservationConflict, uint8_t{0x28}}) {
        legacytest::RecordingOutput rowOutput;
        capacityStatus = status;
        EXPECT_EQ(Run(rowOutput), 2);
        EXPECT_EQ(rowOutput.Text(), "Begin low level format check\r\n\r\nQueryCapacity Failure\r\n");
    }
    capacityDelivered = false;
    EXPECT_EQ(Run(output), 2);
    EXPECT_EQ(output.Text(), "Begin low level format check\r\n\r\nQueryCapacity Failure\r\n");
}

TEST_F(FormatCheckTest, FirstResetIsRetriedSilentlyAndASecondEndsTheCheck)
{
    senses = {FixedSense(0x6, 0x29, 0x00)};
    capacityFailures = 1;
    EXPECT_EQ(Run(output), 0);
    EXPECT_EQ(output.Text(), "Begin low level format check\r\nFinished low level format check\r\n");

    legacytest::RecordingOutput second;
    capacityFailures = 1000;
    EXPECT_EQ(Run(second), 2);
    EXPECT_EQ(second.Text(), "Begin low level format check\r\n\r\nSenseKey=06, SenseCode=29\r\n");
}

TEST_F(FormatCheckTest, StoppedDriveIsStartedOnce)
{
    senses = {FixedSense(0x2, 0x04, 0x02)};
    EXPECT_EQ(Run(output), 0);
    EXPECT_EQ(output.Text(),
              "Begin low level format check\r\n\r\nSTART UNIT Required\r\nFinished low level format check\r\n");
    const ScsiRequest& start = device->requests.back();
    EXPECT_EQ(std::vector<uint8_t>(start.Cdb, start.Cdb + 6), (std::vector<uint8_t>{kStartStopUnit, 0, 0, 0, 1, 0}));

    startWorks = false;
    legacytest::RecordingOutput second;
    EXPECT_EQ(Run(second), 2);
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

TEST_F(SequenceEngineTest, DriveNeverReadyIsAskedAtAPaceForThirtySecondsAndReportedOnce)
{
    // Time moves only while the engine waits between attempts.
    Start(OneDrive(R"("notReadyCommands": 1000000)"));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 0);
    const size_t attempts = tap.WithOpcode(0x00).size();
    EXPECT_EQ(attempts, 62u);
    EXPECT_EQ(clock.slept.load(), 62 * 500);
    EXPECT_EQ(output.Text(), "Begin drive read test\r\n\r\nTEST UNIT FAILED\r\n\r\nTEST UNIT FAILED 62 times, Target "
                             "Status = 02, SenseKey=02, SenseCode=04, Qualifier=01\r\n");
    EXPECT_EQ(outcome.endedBy, kSubtestDriveReady);
    EXPECT_NE(streams.Log().find("Target Status = 02"), std::string::npos) << "failures are reported";
}

TEST_F(SequenceEngineTest, DriveBecomingReadyTellsEachAnswerOnceWithItsCount)
{
    Start(OneDrive(R"("faults": [{"opcode": "0x00", "senseKey": 6, "asc": "0x29", "times": 1}])"));
    Sim().Disk(0)->SetNotReady(4);
    EXPECT_EQ(Run(Only({kSubtestDriveReady}), Entry(0)), 0);
    EXPECT_EQ(output.Text(), "Begin drive read test\r\n\r\nTEST UNIT FAILED\r\n\r\nTEST UNIT FAILED\r\n\r\n"
                             "TEST UNIT FAILED 4 times, Target Status = 02, SenseKey=02, SenseCode=04, Qualifier=01\r\n"
                             "Finished drive ready test\r\n");
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
    // No time passed while the edges were read: no rate, so no figure.
    EXPECT_TRUE(output.Contains("\r\n" + ScanEstimateText(std::nullopt) + "\r\n"));
}

// The estimate is the middle still to read at the rate the edges were read.
// Each clock reading moves `step` seconds: at step 1 a slice is three
// 64-block reads in four seconds, 48 blocks a second, so the 1,900,000
// blocks of the middle take about 11 hours (60,000 blocks: 21 minutes); at
// step 2 two reads in six seconds, about 24 3/4 hours.
struct EstimateCase {
    uint64_t blocks;
    int64_t step;
    const char* text;
};

class ScanEstimateTest : public SequenceEngineTest, public ::testing::WithParamInterface<EstimateCase> {};

TEST_P(ScanEstimateTest, TheEntireScanEstimatesFromTheRateItsEdgesWereRead)
{
    Start(OneDrive("", GetParam().blocks));
    clock.step = GetParam().step;
    EXPECT_EQ(Run(Only({kSubtestEntireScan}), Entry(0)), 0);
    EXPECT_TRUE(output.Contains(std::string("\r\nComplete Scan of Disk will require ") + GetParam().text + "\r\n"))
        << output.Text();
    EXPECT_TRUE(output.Contains("Finish Scan of Entire Drive"));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ScanEstimateTest,
    ::testing::Values(EstimateCase{2000001, 0, "a time not known yet: no read rate has been measured"},
                      EstimateCase{2000001, 1, "11 hours and 0 minutes"},
                      EstimateCase{2000001, 2, "24 hours and 45 minutes"},
                      EstimateCase{160001, 1, "21 minutes"}));

TEST_F(SequenceEngineTest, DriveNotPresentShowsCapacityZeroInTheFirstSurfaceSubtest)
{
    Start(OneDrive(R"("faults": [{"opcode": "0x25", "action": "callFails"}])"));
    EXPECT_EQ(Run(Only({kSubtestRandomVerify, kSubtestFirst300MB}), Entry(0)), 7);
    EXPECT_EQ(output.Text(),
              "Begin random verify\r\n\r\nQueryCapacity Failure\r\n\r\nCapacity ZERO, drive probably not present\r\n");
}

TEST_F(SequenceEngineTest, ScansReadToTheLastBlockAndNameTheBlocksOfAFailedRead)
{
    struct Row {
        uint64_t blocks;
        uint64_t unreadable;
        int subtest;
        const char* message;
        const char* read;
        ReadFailure failure;
    };
    const Row rows[] = {
        {400001, 399000, kSubtestFirst300MB, "Read Entire Disk Test Error, ID pre calc",
         "Read of LBA 398976 to 399039 failed, failing LBA 399000", {kSubtestFirst300MB, 398976, 64, 399000}},
        {400001, 400000, kSubtestLast100MB, "Read OD Scan Test Error",
         "Read of LBA 400000 to 400000 failed, failing LBA 400000", {kSubtestLast100MB, 400000, 1, 400000}},
        // Twelve blocks from the end, in the last, shorter read of the outer 25 MB.
        {400001, 399988, kSubtestEntireScan, "OD Scan of 25MB error, OD pre calc",
         "Read of LBA 399984 to 400000 failed, failing LBA 399988", {kSubtestEntireScan, 399984, 17, 399988}},
        // 33 MB in: the middle of the drive, not its first 25 MB.
        {200001, 66010, kSubtestEntireScan, "ID Scan Test Error", "Read of LBA 66000 to 66031 failed, failing LBA 66010",
         {kSubtestEntireScan, 66000, 32, 66010}},
        {200001, 49999, kSubtestEntireScan, "ID Scan of 25MB error, ID pre calc",
         "Read of LBA 49984 to 49999 failed, failing LBA 49999", {kSubtestEntireScan, 49984, 16, 49999}},
        // 3 TiB: the real end, read with READ (16); fixed-format sense has no
        // room for a failing LBA beyond 32 bits.
        {0x180000000ull, 0x17FFFFFFFull, kSubtestLast100MB, "Read OD Scan Test Error",
         "Read of LBA 6442450943 to 6442450943 failed", {kSubtestLast100MB, 0x17FFFFFFFull, 1, std::nullopt}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.read);
        Start(OneDrive(R"("unreadableBlocks": [)" + std::to_string(row.unreadable) + "]", row.blocks));
        legacytest::RecordingOutput report;
        EXPECT_EQ(RunTestSequence(Only({row.subtest}), Entry(0), &report, environment, &outcome), row.subtest);
        EXPECT_TRUE(report.Contains(std::string("\r\n") + row.message + "\r\n\r\n" + row.read + "\r\n"));
        ASSERT_EQ(outcome.readFailures.size(), 1u);
        const ReadFailure& failure = outcome.readFailures[0];
        EXPECT_EQ(failure.subtest, row.failure.subtest);
        EXPECT_EQ(failure.lba, row.failure.lba);
        EXPECT_EQ(failure.blocks, row.failure.blocks);
        EXPECT_EQ(failure.failingLba, row.failure.failingLba);
    }
}

TEST_F(SequenceEngineTest, EntireScanReadsEveryBlockOnce)
{
    Start(OneDrive("", 200001));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(Only({kSubtestEntireScan}), Entry(0)), 0);
    std::vector<uint8_t> seen(200001, 0);
    for (const auto& read : tap.WithOpcode(0x28)) {
        const uint32_t lba = LoadBe32(read.cdb.data() + 2);
        for (uint32_t block = lba; block < lba + LoadBe16(read.cdb.data() + 7); ++block) ++seen[block];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 200001);
}

TEST_F(SequenceEngineTest, FourKilobyteBlockDrivePassesEveryScan)
{
    Start(OneDrive(R"("geometry": {"cylinders": 300, "heads": 2, "sectorsPerTrack": 1000})", 600000, 4096));
    auto& tap = Tap(Entry(0));
    EXPECT_EQ(Run(LongSelection(), Entry(0)), 0);
    EXPECT_TRUE(outcome.Completed());
    for (const auto& read : tap.WithOpcode(0x28)) {
        const uint32_t blocks = LoadBe16(read.cdb.data() + 7);
        ASSERT_EQ(read.transferLength, blocks * 4096u);
    }
    for (const auto& write : tap.WithOpcode(0x2E)) ASSERT_EQ(write.transferLength, 4096u);
}

}  // namespace
