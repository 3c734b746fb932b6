#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/attribute_warnings.h"
#include "legacytest/exceptions_page.h"
#include "sim/sim_disk.h"
#include "scsi/string_format.h"
#include "sim/sim_sense.h"
#include "support/sim_mode_page.h"

namespace {

constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kModeSelect6 = 0x15;
constexpr uint8_t kLogSense = 0x4D;

const char* kSmartPages = R"("pages": [2, 3, 5, 6, "0x2F", "0x30"])";

std::vector<uint8_t> CurrentPage(SimDisk& disk)
{
    return simpage::Current(disk, 0x1C);
}

// MRIE 0: the drive's own setting that the check changes and puts back
// (unless a fault the test injects refuses it).
void ReportNothing(SimDisk& disk)
{
    std::vector<uint8_t> page = CurrentPage(disk);
    if (page.size() < 4) return;
    page[3] = 0x00;
    simpage::Select(disk, page);
}

class SmartCheckTest : public LegacyBenchTest {
protected:
    void StartDrive(const std::string& logs, const std::string& extra = "")
    {
        std::string fields = logs.empty() ? "" : "\"logs\": {" + logs + "}";
        if (!extra.empty()) fields += (fields.empty() ? "" : ", ") + extra;
        Start(OneDrive(fields, 400000));
        disk = Sim().Disk(0);
        ReportNothing(*disk);
        pageBefore = CurrentPage(*disk);
        tap = &Tap(Entry(0));
    }
    SimDisk* disk = nullptr;
    legacytest::TapDevice* tap = nullptr;
    std::vector<uint8_t> pageBefore;
};

TEST_F(SmartCheckTest, TrippedDriveShowsSmartTripAndGetsItsPageBack)
{
    StartDrive(std::string(kSmartPages) + R"(, "smartTrip": "0x10")");
    EXPECT_EQ(Run(QuickSelection(), Entry(0)), 4);
    EXPECT_TRUE(output.Contains("Begin SMART check\r\n\r\nSMART TRIP\r\n"));
    EXPECT_FALSE(output.Contains("Finished SMART check"));
    EXPECT_EQ(CurrentPage(*disk), pageBefore);
    // Reporting on request was on when the drive was asked.
    const auto commands = tap->Commands();
    const auto sense = std::find_if(commands.begin(), commands.end(),
                                    [](const legacytest::SeenCommand& c) { return c.Opcode() == kRequestSense; });
    ASSERT_NE(sense, commands.end());
    EXPECT_EQ(sense->cdb, (std::vector<uint8_t>{kRequestSense, 0, 0, 0, 19, 0}));
}

TEST_F(SmartCheckTest, HealthyDriveWithSmartDataKeepsReportingOnRequestUntilTheRecheck)
{
    StartDrive(kSmartPages, R"("geometry": {"cylinders": 400, "heads": 4, "sectorsPerTrack": 250})");
    std::vector<uint8_t> duringRun;
    tap->hook = [&](ScsiRequest& request, bool&) {
        if (request.Cdb[0] == 0x28 && duringRun.empty()) duringRun = CurrentPage(*disk);
        return false;
    };
    EXPECT_EQ(Run(QuickSelection(), Entry(0)), 0);
    EXPECT_TRUE(output.Contains("Begin SMART check\r\nFinished SMART check\r\n"));
    EXPECT_TRUE(output.Contains("Begin SMART recheck\r\nFinished SMART recheck\r\n"));
    ASSERT_FALSE(duringRun.empty());
    EXPECT_EQ(duringRun[2], 0x01);
    EXPECT_EQ(duringRun[3], 0x06);
    EXPECT_EQ(CurrentPage(*disk), pageBefore);
    // The vendor probe, then page 30h read for 1024 bytes.
    const auto logSenses = tap->WithOpcode(kLogSense);
    ASSERT_FALSE(logSenses.empty());
    EXPECT_EQ(logSenses[0].cdb, (std::vector<uint8_t>{kLogSense, 0, 0x70, 0, 0, 0, 0, 0x04, 0x00, 0}));
}

TEST_F(SmartCheckTest, DriveWithoutSmartDataFinishesAndTheRecheckOnlyRestores)
{
    StartDrive("");
    EXPECT_EQ(Run(Only({kSubtestSmartCheck, kSubtestSmartRecheck}), Entry(0)), 0);
    EXPECT_EQ(output.Text(),
              "Begin SMART check\r\n\r\nSMART not supported\r\nFinished SMART check\r\n"
              "Begin SMART recheck\r\nFinished SMART recheck\r\n");
    EXPECT_EQ(tap->WithOpcode(kRequestSense).size(), 1u) << "only the check's own";
    EXPECT_EQ(tap->WithOpcode(kModeSelect6).size(), 2u);
    EXPECT_EQ(CurrentPage(*disk), pageBefore);
}

TEST_F(SmartCheckTest, RefusedPageChangeEndsTheSequence)
{
    StartDrive(kSmartPages, R"("faults": [{"opcode": "0x15", "senseKey": 5, "asc": "0x26"}])");
    EXPECT_EQ(Run(QuickSelection(), Entry(0)), 4);
    EXPECT_TRUE(output.Contains("\r\nTurning on SMART and setting MRIE FAILED\r\n"));
    EXPECT_FALSE(output.Contains("Begin physical heads check"));
}

TEST_F(SmartCheckTest, UnsolicitedSenseThatFailsOrIsNotCleanEndsTheSequenceAfterARestore)
{
    StartDrive(kSmartPages, R"("faults": [{"opcode": "0x03", "action": "callFails"}])");
    EXPECT_EQ(Run(Only({kSubtestSmartCheck}), Entry(0)), 4);
    EXPECT_TRUE(output.Contains("\r\nUnsolicited Request Sense failed\r\n"));
    EXPECT_EQ(tap->WithOpcode(kModeSelect6).size(), 2u);
    EXPECT_EQ(CurrentPage(*disk), pageBefore);

    StartDrive(kSmartPages);
    disk->SetNotReady(10);
    legacytest::RecordingOutput second;
    EXPECT_EQ(RunTestSequence(Only({kSubtestSmartCheck}), Entry(0), &second, environment), 4);
    EXPECT_TRUE(second.Contains("\r\nUnsolicited Request Sense Error\r\n"));
    EXPECT_EQ(CurrentPage(*disk), pageBefore);
}

TEST_F(SmartCheckTest, PageIsPutBackWhenALaterSubtestEndsTheSequence)
{
    StartDrive(kSmartPages, R"("unreadableBlocks": [100])");
    EXPECT_EQ(Run(Only({kSubtestSmartCheck, kSubtestFirst300MB, kSubtestSmartRecheck}), Entry(0)), 8);
    EXPECT_EQ(CurrentPage(*disk), pageBefore);
}

TEST_F(SmartCheckTest, PutBackIsTriedAgainAndAPageThatCannotGoBackFailsTheRun)
{
    struct Row {
        int refusals;  // put-backs answered BUSY before the drive takes one
        bool stop;     // STOP pressed during the scan between check and recheck
        int result;
        bool restored;
    };
    const Row rows[] = {
        {1, false, 0, true},
        {kPageRestoreAttempts - 1, false, 0, true},
        {kPageRestoreAttempts, false, kSubtestSmartRecheck, false},
        {2, true, -1, true},
        {kPageRestoreAttempts, true, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.refusals << " refusals" << (row.stop ? ", stopped" : ""));
        StartDrive(kSmartPages);
        clock.slept = 0;
        auto selects = std::make_shared<int>(0);
        tap->hook = [row, selects](ScsiRequest& request, bool& delivered) {
            if (row.stop && request.Cdb[0] == 0x28) g_bStopRequested = 1;
            if (request.Cdb[0] != kModeSelect6 || ++*selects == 1 || *selects > 1 + row.refusals) return false;
            request.ScsiStatus = kStatusBusy;
            delivered = true;
            return true;
        };
        legacytest::RecordingOutput report;
        outcome = {};
        MarkTestWorkerThread(true);
        int result = -1;
        try {
            result = RunTestSequence(Only({kSubtestSmartCheck, kSubtestFirst300MB, kSubtestSmartRecheck}), Entry(0),
                                     &report, environment, &outcome);
        } catch (const WorkerStopped&) {
        }
        MarkTestWorkerThread(false);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(CurrentPage(*disk) == pageBefore, row.restored);
        EXPECT_EQ(outcome.settingsLeftChanged, !row.restored);
        EXPECT_EQ(report.Contains("Finished SMART recheck"), row.restored && !row.stop);
        EXPECT_EQ(clock.slept.load(), std::min(row.refusals, kPageRestoreAttempts - 1) * kPageRestorePauseMilliseconds);
        // The page's own bytes, PS (reserved in MODE SELECT) aside.
        std::string bytes = StringPrintf(" %02x", pageBefore[0] & 0x7F);
        for (size_t i = 1; i < pageBefore.size(); ++i) bytes += StringPrintf(" %02x", pageBefore[i]);
        EXPECT_EQ(report.Contains("\r\nINFORMATIONAL EXCEPTIONS PAGE NOT RESTORED: the drive keeps the test's settings. "
                                  "The page as it was:" + bytes + "\r\n"),
                  !row.restored);
    }
}

TEST(AttributeWarningsTest, WalkStopsAtTheBitErrorRateAttributeAndStaysInsideTheData)
{
    std::vector<uint8_t> page = {0x30, 0, 0, 0x1C,                     // 28 bytes of parameters
                                 0x00, 0x04, 0x03, 0x03, 0x02, 0x64, 0x24,  // reallocation: trips
                                 0x00, 0x32, 0x03, 0x0C, 0x64, 0x64, 0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
                                 0x00, 0x04, 0x03, 0x01, 0x02};  // after 0032h: not walked
    EXPECT_EQ(ScanAttributeWarnings(page), (std::vector<AttributeWarning>{AttributeWarning::ReallocationTrip}));
    page[26] = 0x01;  // the twelfth value byte: header + 15
    EXPECT_EQ(ScanAttributeWarnings(page),
              (std::vector<AttributeWarning>{AttributeWarning::ReallocationTrip, AttributeWarning::BitErrorRateTrip}));

    // A short 0032h parameter has no twelfth byte: the next bytes are not taken for it.
    const std::vector<uint8_t> shortOne = {0x30, 0, 0, 0x10, 0x00, 0x32, 0x03, 0x02, 0x64, 0x64,
                                           0x00, 0x05, 0x03, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(ScanAttributeWarnings(shortOne).empty());
    // A page length beyond the bytes at hand.
    const std::vector<uint8_t> cut = {0x30, 0, 0xFF, 0xFF, 0x00, 0x04, 0x03, 0x08, 0x02};
    EXPECT_EQ(ScanAttributeWarnings(cut).size(), 1u);
    EXPECT_TRUE(ScanAttributeWarnings(std::vector<uint8_t>{0x30, 0, 0, 3, 0, 4, 3}).empty());
}

}  // namespace
