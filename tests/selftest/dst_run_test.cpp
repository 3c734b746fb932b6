// The self-test run on the simulated bench, its timer ticks called directly
// against a fake clock.
#include <gtest/gtest.h>

#include <memory>

#include "drives/device_table.h"
#include "platform/keyboard.h"
#include "selftest/dst_run.h"
#include "selftest/dst_test_support.h"
#include "selftest/self_test_commander.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

using dsttest::ManualClock;
using dsttest::ReadFile;
using dsttest::RecordingOutput;
using dsttest::TempFolder;

namespace {

class RecordingHost final : public DstRunHost {
public:
    void SetProgress(int percent) override { bar.push_back(percent); }
    void EnableStart(bool enabled) override { startEnabled = enabled; }
    void SetTimer() override { timer = true; }
    void KillTimer() override { timer = false; }
    void LogRowsWritten(const std::string&, const std::vector<std::string>& rows, bool written) override
    {
        if (written) logged.insert(logged.end(), rows.begin(), rows.end());
    }

    std::vector<int> bar;
    bool startEnabled = true;
    bool timer = false;
    std::vector<std::string> logged;
};

class EscapeKey final : public Keyboard {
public:
    bool EscapePressed() override { return pressed; }
    bool pressed = false;
};

std::string SelfTestDisk(int target, const std::string& selfTest)
{
    return Disk(0, target, "MORVANE", "\"selfTest\": " + selfTest);
}

const std::string kPassing = R"({"shortSeconds": 100, "extendedSeconds": 300})";

class DstRunTest : public BenchFixture {
protected:
    void TearDown() override
    {
        g_strDstLogPath.clear();
        BenchFixture::TearDown();
    }

    void Start(const std::vector<std::string>& disks, bool allDrives = true)
    {
        std::string devices;
        for (const std::string& disk : disks) devices += (devices.empty() ? "" : ", ") + disk;
        Load(Bench(1, devices));
        Scan();
        for (uint32_t n = 0; n < disks.size(); ++n) Sim().Disk(n)->SetSelfTestClock(&clock);
        g_strDstLogPath = logPath;
        DstRunSetup setup;
        setup.output = &output;
        setup.clock = &clock;
        setup.keyboard = &keyboard;
        setup.prompts = &prompts;
        setup.pathPrefix = catalog->PathPrefix();
        setup.allDrives = allDrives;
        run = std::make_unique<DstRun>(host, setup);
    }
    void Tick(int seconds)
    {
        clock.Advance(seconds);
        run->OnTimer();
    }
    DeviceEntry& Drive(int slot) { return *g_devices[static_cast<size_t>(slot)]; }
    // The SEND DIAGNOSTIC byte 1 values a drive received, in order.
    std::vector<uint8_t> SelfTestCodes(uint32_t drive)
    {
        std::vector<uint8_t> codes;
        for (const auto& cdb : Sim().Disk(drive)->RecentCdbs())
            if (cdb[0] == 0x1D) codes.push_back(cdb[1]);
        return codes;
    }
    std::string Log() { return ReadFile(logPath); }
    void FailRequestSense(uint32_t drive)
    {
        SimFault fault;
        fault.action = SimFault::Action::CallFails;
        fault.opcode = 0x03;
        Sim().Disk(drive)->AddFault(fault);
    }

    StreamCapture streams;
    TempFolder folder;
    std::string logPath = folder.File("dst.log");
    ManualClock clock;
    RecordingOutput output;
    EscapeKey keyboard;
    RecordingPrompts prompts;
    RecordingHost host;
    std::unique_ptr<DstRun> run;
};

}  // namespace

TEST_F(DstRunTest, BothRunsQuickThenAdvancedWithTheBarOverBothPhases)
{
    Start({SelfTestDisk(0, kPassing), SelfTestDisk(1, kPassing)});
    run->OnStart(kDstModeBoth);
    EXPECT_FALSE(host.startEnabled);
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(Drive(0).dstMode, 3);
    EXPECT_EQ(Drive(0).dstType, 1);
    EXPECT_TRUE(Drive(1).underTest);
    EXPECT_EQ(SelfTestCodes(0), std::vector<uint8_t>{0x20});

    Tick(50);  // both at 50%
    Tick(50);  // both ended: 100
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_EQ(Drive(0).testState, 100);
    Tick(10);  // nothing running: quick rows, then the advanced phase
    EXPECT_EQ(SelfTestCodes(1), (std::vector<uint8_t>{0x20, 0x40}));
    EXPECT_EQ(Drive(1).dstType, 2);
    EXPECT_FALSE(host.startEnabled) << "START stays disabled between the phases";
    Tick(150);
    Tick(150);
    Tick(10);
    EXPECT_TRUE(host.startEnabled);
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(host.bar, (std::vector<int>{2, 16, 33, 2, 66, 99}));

    ASSERT_EQ(host.logged.size(), 4u);
    EXPECT_NE(host.logged[0].find("MVX-00          , SN0     , DST Quick, The drive self-test completed without error., "),
              std::string::npos)
        << host.logged[0];
    EXPECT_NE(host.logged[2].find("DST Advanced, The drive self-test completed without error."), std::string::npos);
    const std::string log = Log();
    EXPECT_EQ(log.rfind("Product ID, Serial#", 0), 0u);
    EXPECT_EQ(log.find("Product ID", 1), std::string::npos) << "one header";
    EXPECT_EQ(Drive(0).dstQuickStatus, 1);
    EXPECT_EQ(Drive(0).dstAdvStatus, 1);
    EXPECT_EQ(Drive(0).dstQuick.timeStamp, 1000u);

    // A quick run after a "Both" run ends with its quick phase.
    host.bar.clear();
    run->OnStart(kDstModeQuick);
    Tick(50);
    Tick(50);
    Tick(10);
    EXPECT_EQ(host.bar, (std::vector<int>{2, 50, 100}));
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x40, 0x20}));
    EXPECT_TRUE(host.startEnabled);
}

TEST_F(DstRunTest, ReportsEachDriveAndItsEnd)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeAdvanced);
    Tick(300);
    EXPECT_EQ(output.Text(),
              "for drive physicaldrive0\r\n"
              "Advanced Drive Self Test (DST)\r\n"
              "The drive self-test completed without error.\r\n"
              "DST completed for \\\\.\\physicaldrive0\r\n"
              "DST 100% complete\r\n");
    EXPECT_EQ(Drive(0).dstAdvanced.beginTime, 1700000000);
    EXPECT_EQ(Drive(0).dstAdvanced.endTime, 1700000300);
    EXPECT_EQ(Drive(0).dstAdvanced.ended, 1);
}

TEST_F(DstRunTest, FailingDriveLeavesItsFailureInTheLog)
{
    Start({SelfTestDisk(0, R"({"shortSeconds": 100, "failure": {"lba": "0x12345", "atPercent": 60}})")});
    run->OnStart(kDstModeQuick);
    Tick(40);
    Tick(40);
    Tick(10);
    ASSERT_EQ(host.logged.size(), 1u);
    const std::string& row = host.logged[0];
    EXPECT_NE(row.find("DST Quick, The read/verify element of the self-test failed., "), std::string::npos) << row;
    EXPECT_EQ(row.substr(row.size() - 39), ", 3e8, 0000000000012345, 03, 11, 00, 00");
    EXPECT_EQ(Drive(0).dstQuickStatus, 2);
}

TEST_F(DstRunTest, FailedPollOfTheLastRunningDriveAbortsItAndWritesThePhase)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    FailRequestSense(0);
    Tick(10);
    EXPECT_NE(output.Text().find("for drive physicaldrive0 \nDST Progress Failed\r\n"), std::string::npos);
    EXPECT_NE(output.Text().find("for drive physicaldrive0 \r\nDST Aborted\r\n"), std::string::npos);
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x80}));
    EXPECT_FALSE(Drive(0).underTest);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("The drive self-test was aborted by the abort parameter code."), std::string::npos);
    EXPECT_TRUE(host.startEnabled);
}

TEST_F(DstRunTest, OneFailedPollDoesNotHideTheOthersProgress)
{
    Start({SelfTestDisk(0, kPassing), SelfTestDisk(1, kPassing)});
    run->OnStart(kDstModeQuick);
    FailRequestSense(0);
    Tick(25);
    EXPECT_NE(output.Text().find("for drive physicaldrive0 \nDST Progress Failed"), std::string::npos);
    EXPECT_TRUE(Drive(0).underTest) << "polled again next tick";
    EXPECT_EQ(Drive(0).testState, 0);
    EXPECT_EQ(Drive(1).testState, 25);
    EXPECT_EQ(host.bar.back(), 0) << "the bar waits for the drive it could not poll";
    EXPECT_TRUE(host.timer);
}

TEST_F(DstRunTest, BarFollowsTheSlowestDriveStillRunning)
{
    Start({SelfTestDisk(0, kPassing), SelfTestDisk(1, R"({"shortSeconds": 300})")});
    run->OnStart(kDstModeQuick);
    Tick(50);
    EXPECT_EQ(host.bar.back(), 16);
    Tick(50);  // the first drive has ended
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_EQ(host.bar.back(), 33);
    Tick(200);
    EXPECT_EQ(host.bar.back(), 100);
}

TEST_F(DstRunTest, NoDriveStartsAndThePhaseClosesAtOnce)
{
    Start({SelfTestDisk(0, R"({"supported": false})")});
    run->OnStart(kDstModeQuick);
    EXPECT_EQ(output.Text(),
              "Drive does not support DST\r\n"
              "Sense Key =   5\r\n"
              "Sense Code =   24\r\n"
              "Additional Sense Code =   0\r\n")
        << "with the drive's answer to LOG SENSE";
    EXPECT_EQ(Drive(0).dstQuickResult, "Drive does not support DST");
    EXPECT_EQ(host.bar, std::vector<int>{2});
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(host.startEnabled);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_EQ(host.logged[0], "MVX-00          , SN0     , DST Quick, Drive does not support DST, , , 0, , , , ,");
    run->OnStop();
    EXPECT_EQ(host.bar.back(), 0);
    EXPECT_EQ(host.logged.size(), 1u) << "STOP with nothing running writes nothing";
}

TEST_F(DstRunTest, StopAbortsAndLogsBeginAndEndTimes)
{
    dsttest::UtcZone utc;
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    Tick(30);
    clock.Advance(5);
    run->OnStop();
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x80}));
    EXPECT_EQ(host.bar.back(), 0);
    EXPECT_TRUE(host.startEnabled);
    EXPECT_FALSE(host.timer);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_EQ(host.logged[0],
              "MVX-00          , SN0     , DST Quick, The drive self-test was aborted by the abort parameter code., "
              "Tue Nov 14 22:13:20 2023, Tue Nov 14 22:13:55 2023, 3e8, , , , ,");
}

TEST_F(DstRunTest, StopAfterTheDrivesEndedStillWritesTheirRows)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    Tick(100);  // ended and counted: the phase closes on the next tick
    run->OnStop();
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("completed without error"), std::string::npos);
    EXPECT_EQ(SelfTestCodes(0), std::vector<uint8_t>{0x20}) << "nothing left to abort";
}

TEST_F(DstRunTest, CancelAbortsWithoutARow)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    Tick(20);
    run->OnCancelButton();
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x80}));
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(host.logged.empty());
    EXPECT_EQ(Log(), "");
}

TEST_F(DstRunTest, EscapeOnTheConsoleAbortsEveryDriveAndWritesThePhase)
{
    Start({SelfTestDisk(0, kPassing), SelfTestDisk(1, kPassing)});
    run->OnStart(kDstModeAdvanced);
    keyboard.pressed = true;
    Tick(10);
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x40, 0x80}));
    EXPECT_EQ(SelfTestCodes(1), (std::vector<uint8_t>{0x40, 0x80}));
    ASSERT_EQ(host.logged.size(), 2u);
    EXPECT_NE(host.logged[1].find("DST Advanced"), std::string::npos);
}

TEST_F(DstRunTest, TestOverBeforeTheFirstTickIsStillSeenToEnd)
{
    Start({SelfTestDisk(0, R"({"shortSeconds": 5})")});
    run->OnStart(kDstModeQuick);
    Tick(10);
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_NE(output.Text().find("DST completed for"), std::string::npos);
    Tick(10);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("completed without error"), std::string::npos);
}

TEST_F(DstRunTest, RefusedTestIsAFailureNotTheEarlierResultOfAnotherTest)
{
    dsttest::UtcZone utc;
    Start({SelfTestDisk(0, R"({"shortSeconds": 100, "refuse": ["extended"],
                               "history": [{"test": "short", "result": 0}, {"test": "extended", "result": 0}]})")});
    run->OnStart(kDstModeBoth);
    Tick(100);
    Tick(10);  // the quick phase closes; the advanced test is refused
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x40}));
    EXPECT_NE(output.Text().find("Advanced Drive Self Test (DST)\r\n"
                                 "The Send Diagnostic command failed. DST Not Running\r\n"
                                 "Sense Key =   5\r\nSense Code =   24\r\nAdditional Sense Code =   0\r\n"
                                 "for drive physicaldrive0 \nDST Failed\r\n"),
              std::string::npos)
        << output.Text();
    EXPECT_EQ(Drive(0).dstQuickStatus, 1);
    EXPECT_EQ(Drive(0).dstAdvStatus, 2);
    EXPECT_EQ(Drive(0).dstAdvResult, kDstRefusedText);
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_FALSE(host.timer);
    EXPECT_TRUE(host.startEnabled) << "nothing runs: the phase is over";
    ASSERT_EQ(host.logged.size(), 2u);
    EXPECT_EQ(host.logged[1],
              "MVX-00          , SN0     , DST Advanced, The Send Diagnostic command failed. DST Not Running, "
              "Tue Nov 14 22:15:10 2023, Tue Nov 14 22:15:10 2023, 0, ffffffffffffffff, 05, 24, 00, 00");
}

TEST_F(DstRunTest, TestThatLeavesNoEntryIsAFailureOfItsOwn)
{
    Start({SelfTestDisk(0, kPassing)});
    // A drive that takes the test but never runs it: its log keeps only an
    // earlier quick pass, and REQUEST SENSE first reports unit attentions
    // (no sign either way), then nothing pending.
    auto drive = std::make_shared<ScriptedDevice>();
    int senseRequests = 0;
    drive->script = [&senseRequests](const ScsiRequest& request) {
        ScriptedDevice::Reply reply;
        if (request.Cdb[0] == 0x4D) reply.data = dsttest::ResultsPage({{.stamp = 1000}});
        if (request.Cdb[0] == 0x03) {
            const uint8_t key = ++senseRequests <= 3 ? 0x6 : 0x0;
            reply.data = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, static_cast<uint8_t>(key ? 0x29 : 0), 0, 0, 0, 0, 0};
        }
        return reply;
    };
    Drive(0).handle = drive;
    run->OnStart(kDstModeQuick);
    for (int tick = 0; tick < 5; ++tick) Tick(10);
    EXPECT_TRUE(Drive(0).underTest) << "three unit attentions and two quiet polls are no end";
    Tick(10);
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_NE(output.Text().find(std::string(kDstNoEntryText) + "\r\nDST completed for"), std::string::npos);
    Tick(10);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find(std::string("DST Quick, ") + kDstNoEntryText), std::string::npos);
    EXPECT_TRUE(host.logged[0].ends_with(", 0, ffffffffffffffff, 00, 00, 00, 00")) << host.logged[0];
}

TEST_F(DstRunTest, TestSeenRunningIsFoundAtopALogOfTheSameEntries)
{
    // Twenty quick passes in the same hour: the new one looks like them all.
    std::string history;
    for (int i = 0; i < 20; ++i) history += std::string(i ? ", " : "") + R"({"test": "short"})";
    Start({SelfTestDisk(0, R"({"shortSeconds": 100, "history": [)" + history + "]}")});
    run->OnStart(kDstModeQuick);
    Tick(50);
    Tick(50);
    EXPECT_FALSE(Drive(0).underTest);
    EXPECT_EQ(Drive(0).dstQuickStatus, 1);
    EXPECT_EQ(Drive(0).dstQuickResult, "The drive self-test completed without error.");
}

TEST_F(DstRunTest, OtherSensePendingAtAPollIsNotTheEndOfTheTest)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    Tick(30);
    const int before = Drive(0).testState;
    Sim().Disk(0)->RaiseUnitAttention(0x29, 0x00);
    Tick(30);
    EXPECT_TRUE(Drive(0).underTest);
    EXPECT_EQ(Drive(0).testState, before) << "the unit attention tells no progress";
    EXPECT_EQ(output.Text().find("DST completed"), std::string::npos);
    Tick(40);
    EXPECT_FALSE(Drive(0).underTest);
    Tick(10);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("completed without error"), std::string::npos);
    EXPECT_EQ(SelfTestCodes(0), std::vector<uint8_t>{0x20}) << "never aborted";
}

TEST_F(DstRunTest, OnlySelectedDrivesTakePartUnlessAllAreAsked)
{
    Start({SelfTestDisk(0, kPassing), SelfTestDisk(1, kPassing)}, false);
    SetDeviceSelected(Drive(1), true);
    run->OnStart(kDstModeQuick);
    EXPECT_TRUE(SelfTestCodes(0).empty());
    EXPECT_EQ(SelfTestCodes(1), std::vector<uint8_t>{0x20});
    run->OnStop();
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_EQ(host.logged[0].rfind("MVX-01", 0), 0u);
}

TEST_F(DstRunTest, LogFileThatCannotBeWrittenIsReportedAndTheRowsStayInTheReport)
{
    Start({SelfTestDisk(0, kPassing)});
    g_strDstLogPath = folder.File("missing/dst.log");
    run->OnStart(kDstModeQuick);
    Tick(100);
    Tick(10);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "DST Log File");
    EXPECT_NE(prompts.messages[0].text.find("could not be opened"), std::string::npos);
    EXPECT_EQ(g_strDstLogPath, folder.File("missing/dst.log"));
    EXPECT_NE(output.Text().find("The DST log rows that could not be written:\r\nMVX-00          , SN0     , DST Quick"),
              std::string::npos);
    EXPECT_TRUE(host.startEnabled);
}

TEST_F(DstRunTest, WithoutAChosenFileTheDefaultIsWrittenAndRemembered)
{
    Start({SelfTestDisk(0, kPassing)});
    g_strDstLogPath.clear();
    char previous[4096] = {};
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    run->OnStart(kDstModeQuick);
    run->OnStop();
    const std::string written = ReadFile(folder.File("DSTest.log"));
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(g_strDstLogPath, "DSTest.log");
    EXPECT_EQ(written.rfind("Product ID, Serial#", 0), 0u);
    EXPECT_NE(written.find("\r\nMVX-00"), std::string::npos);
}
