#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "support/case_file.h"
#include "legacytest/attribute_warnings.h"
#include "legacytest/exceptions_page.h"
#include "sim/sim_disk.h"
#include "scsi/string_format.h"
#include "sim/sim_sense.h"
#include "support/sim_mode_page.h"

namespace {

constexpr uint8_t kModeSelect6 = 0x15;

class SmartCheckTest : public LegacyBenchTest {};

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
        Start(OneDrive(R"("logs": {"pages": [2, 3, 5, 6, "0x2F", "0x30"]})", 400000));
        SimDisk& disk = *Sim().Disk(0);
        // MRIE 0: the drive's own setting, which the check changes and puts back.
        std::vector<uint8_t> pageBefore = simpage::Current(disk, 0x1C);
        pageBefore[3] = 0x00;
        ASSERT_EQ(simpage::Select(disk, pageBefore), 0);
        pageBefore = simpage::Current(disk, 0x1C);
        auto& tap = Tap(Entry(0));
        clock.slept = 0;
        auto selects = std::make_shared<int>(0);
        std::vector<uint8_t> duringScan;
        tap.hook = [&disk, row, selects, &duringScan](ScsiRequest& request, bool& delivered) {
            if (request.Cdb[0] == 0x28 && duringScan.empty()) duringScan = simpage::Current(disk, 0x1C);
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
        // Reporting on request stays on from the check to the recheck.
        ASSERT_GE(duringScan.size(), 4u);
        EXPECT_EQ(duringScan[2], 0x01);
        EXPECT_EQ(duringScan[3], 0x06);
        EXPECT_EQ(simpage::Current(disk, 0x1C) == pageBefore, row.restored);
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
    for (const CaseLine& c : ReadCaseFile("legacy/attribute_warnings.txt")) {
        SCOPED_TRACE(CaseTrace("legacy/attribute_warnings.txt", c));
        std::string found;
        for (const AttributeWarning warning : ScanAttributeWarnings(ParseHexText(c[0])))
            found += std::string(found.empty() ? "" : " ") +
                     (warning == AttributeWarning::ReallocationTrip ? "reallocation" : "bitErrorRate");
        EXPECT_EQ(found.empty() ? "none" : found, c[1]);
    }
}

}  // namespace
