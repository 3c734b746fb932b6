// The commands of one drive's self-test, its progress and its results page.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <tuple>

#include "drives/device_entry.h"
#include "selftest/dst_test_support.h"
#include "selftest/self_test_commander.h"
#include "support/case_file.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

using dsttest::LogEntry;
using dsttest::ResultsPage;

namespace {

class CommanderTest : public ::testing::Test {
protected:
    CommanderTest() : device(std::make_shared<ScriptedDevice>()), handle(device) {}

    // Reads `page` as the drive's results page and parses it for entry, as
    // the end of a test `code` started on an empty log.
    int Parse(const std::vector<uint8_t>& page, uint8_t code = kDstCodeQuick)
    {
        device->next.data = page;
        EXPECT_EQ(commander.ReadResultsPage(&handle), 1);
        return commander.ParseLatestResult(&output, entry, MarkDstRun({}, code));
    }
    StreamCapture streams;
    std::shared_ptr<ScriptedDevice> device;
    DeviceHandle handle;
    SelfTestCommander commander;
    dsttest::RecordingOutput output;
    DeviceEntry entry;
    int progress = 0;
};

}  // namespace

TEST_F(CommanderTest, BuildsTheThreeCommandsByteForByte)
{
    device->next.data = ResultsPage({});
    EXPECT_EQ(commander.StartSelfTest(&handle, kDstCodeQuick), 1);
    EXPECT_EQ(commander.AbortSelfTest(&handle), 1);
    EXPECT_EQ(commander.PollProgress(&handle, progress), 1);
    EXPECT_EQ(commander.ReadResultsPage(&handle), 1);
    // SEND DIAGNOSTIC start and abort, REQUEST SENSE, LOG SENSE of the results page.
    const std::vector<std::tuple<std::string, uint8_t, uint32_t>> expected{
        {"1D 20 00 00 00 00", kScsiDataOut, 0},
        {"1D 80 00 00 00 00", kScsiDataOut, 0},
        {"03 00 00 00 13 00", kScsiDataIn, 19},
        {"4D 00 50 00 00 00 00 01 94 00", kScsiDataIn, 404}};
    ASSERT_EQ(device->requests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ScsiRequest& request = device->requests[i];
        const auto& [cdb, direction, length] = expected[i];
        EXPECT_EQ(std::vector<uint8_t>(request.Cdb, request.Cdb + request.CdbLength), ParseHexText(cdb));
        EXPECT_EQ(request.DataIn, direction) << cdb;
        EXPECT_EQ(request.DataTransferLength, length) << cdb;
        EXPECT_EQ(request.TimeOutValue, 2u) << cdb;
    }
}

TEST_F(CommanderTest, RefusedStartIsAFailureWithTheDrivesSense)
{
    device->next.status = kStatusCheckCondition;
    device->next.sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0x00, 0x07};
    EXPECT_EQ(commander.StartSelfTest(&handle, kDstCodeAdvanced), 0);
    EXPECT_NE(streams.Log().find("Send Diagnostic command FAILED"
                                 "The Send Diagnostic command failed. DST Not Running\n"),
              std::string::npos)
        << streams.Log();

    entry.dstType = 2;
    entry.dstAdvStatus = 1;
    commander.RecordRefusedStart(&output, entry);
    EXPECT_EQ(output.Text(),
              "The Send Diagnostic command failed. DST Not Running\r\n"
              "Sense Key =   5\r\n"
              "Sense Code =   24\r\n"
              "Additional Sense Code =   0\r\n");
    EXPECT_EQ(entry.dstAdvStatus, 2);
    EXPECT_EQ(entry.dstAdvResult, kDstRefusedText);
    const DstOutcome& a = entry.dstAdvanced;  // no address
    EXPECT_EQ(std::tuple(a.failingLbaHigh, a.failingLbaLow, a.senseKey, a.asc, a.fru),
              std::tuple(0xFFFFFFFFu, 0xFFFFFFFFu, 5, 0x24, 7));
}

TEST_F(CommanderTest, ProgressOnlyFromASelfTestInProgress)
{
    for (const CaseLine& c : ReadCaseFile("selftest/progress.txt")) {
        SCOPED_TRACE(CaseTrace("progress.txt", c));
        device->next.data = ParseHexText(c[0]);
        progress = std::stoi(c[1]);
        EXPECT_EQ(commander.PollProgress(&handle, progress), 1);
        EXPECT_EQ(progress, std::stoi(c[2]));
        EXPECT_EQ(commander.SenseShowsSelfTestRunning(), c[3] == "yes");
        EXPECT_EQ(commander.SenseShowsNothingPending(), c[4] == "yes");
    }

    device->next.delivered = false;
    progress = 37;
    EXPECT_EQ(commander.PollProgress(&handle, progress), 0);
    EXPECT_EQ(progress, 37) << "a failed poll leaves the percentage alone";
    EXPECT_NE(streams.Log().find("Request Sense command FAILEDThe Request Sense command failed.\n"), std::string::npos);
}

TEST_F(CommanderTest, TakesOnlyTheEntryOfTheRunsOwnTest)
{
    entry.dstType = 1;
    entry.dstQuick.timeStamp = 99;
    const std::vector<uint8_t> before = ResultsPage({{.stamp = 0x30}});
    device->next.data = before;
    ASSERT_EQ(commander.ReadResultsPage(&handle), 1);
    const DstRunMark mark = commander.MarkRun(kDstCodeQuick);
    EXPECT_EQ(commander.ParseLatestResult(&output, entry, mark), kDstResultNoEntry);
    EXPECT_EQ(output.Text(), "");
    EXPECT_EQ(entry.dstQuick.timeStamp, 99u) << "nothing recorded";

    device->next.data = ResultsPage({{.result = 1, .stamp = 0x31}, {.stamp = 0x30}});
    ASSERT_EQ(commander.ReadResultsPage(&handle), 1);
    EXPECT_EQ(commander.RunEntryState(mark), DstRunEntryState::Ended);
    EXPECT_EQ(commander.ParseLatestResult(&output, entry, mark), 1);
    EXPECT_EQ(entry.dstQuick.timeStamp, 0x31u);
    EXPECT_EQ(entry.dstQuickStatus, 0);
    EXPECT_EQ(entry.dstQuickResult, "The drive self-test was aborted by the abort parameter code.");

    output.Clear();
    commander.RecordNoEntry(&output, entry);
    EXPECT_EQ(output.Text(), std::string(kDstNoEntryText) + "\r\n");
    EXPECT_EQ(entry.dstQuickStatus, 2);
    EXPECT_EQ(entry.dstQuick.timeStamp, 0u);
    EXPECT_EQ(entry.dstQuick.senseKey, 0);
}

TEST_F(CommanderTest, FailedOrUnfinishedEntryIsReportedAndRecordedInFull)
{
    entry.dstType = 1;
    for (const CaseLine& c : ReadCaseFile("selftest/failed_entries.txt")) {
        SCOPED_TRACE(CaseTrace("failed_entries.txt", c));
        const auto result = static_cast<uint8_t>(std::stoul(c[0], nullptr, 16));
        const auto stamp = static_cast<uint16_t>(std::stoul(c[1], nullptr, 16));
        const uint64_t lba = std::stoull(c[2], nullptr, 16);
        const std::vector<uint8_t> codes = ParseHexText(c[3]);
        output.Clear();
        EXPECT_EQ(Parse(ResultsPage({{result, stamp, lba, codes.at(0), codes[1], codes[2], codes[3]}})), 0);
        const std::string report = std::regex_replace(c[4], std::regex(" / "), "\r\n") + "\r\n";
        EXPECT_EQ(output.Text(), report);
        EXPECT_EQ(entry.dstQuickStatus, 2);
        EXPECT_EQ(entry.dstQuickResult, report.substr(0, report.find('\r')));
        const DstOutcome& q = entry.dstQuick;
        EXPECT_EQ(std::tuple(q.failingLbaHigh, q.failingLbaLow, q.senseKey, q.asc, q.ascq, q.fru, q.timeStamp),
                  std::tuple(static_cast<uint32_t>(lba >> 32), static_cast<uint32_t>(lba), codes[0], codes[1],
                             codes[2], codes[3], uint32_t{stamp}));
    }
}

TEST_F(CommanderTest, AnotherPageOrAShortReplyIsNotTakenForThisDrivesResult)
{
    entry.dstType = 1;
    std::vector<uint8_t> page = ResultsPage({{7, 3}});
    page[3] = 0x80;
    EXPECT_EQ(Parse(page), kDstResultNoEntry);
    EXPECT_EQ(output.Text(), "") << "nothing reported";
    EXPECT_EQ(entry.dstQuickStatus, 0) << "nothing recorded";

    // One commander reads several drives in a tick: a drive that returns
    // only the header must not inherit the previous drive's entries.
    EXPECT_EQ(Parse(ResultsPage({{7, 3}})), 0);
    output.Clear();
    entry.dstQuickStatus = 0;
    device->next.data = {0x10, 0x00, 0x01, 0x90};
    EXPECT_EQ(commander.ReadResultsPage(&handle), 0) << "a header alone is no page";
    EXPECT_EQ(commander.ParseLatestResult(&output, entry, MarkDstRun({}, kDstCodeQuick)), kDstResultNoEntry);
    EXPECT_EQ(output.Text(), "");
    EXPECT_EQ(entry.dstQuickStatus, 0);
}
