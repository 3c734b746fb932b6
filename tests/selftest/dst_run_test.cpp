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
#include "support/fake_time.h"
#include "support/hex_fixture.h"
#include "support/recording_prompts.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

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

    void Start(const std::vector<std::string>& disks)
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
        setup.allDrives = true;
        run = std::make_unique<DstRun>(host, setup);
    }
    void Tick(int seconds)
    {
        clock.AdvanceSeconds(seconds);
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

    dsttest::TempFolder folder;
    std::string logPath = folder.File("dst.log");
    FakeTime clock{1700000000};
    dsttest::RecordingOutput output;
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
    const std::string log = ReadTextFile(logPath);
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

TEST_F(DstRunTest, FailedPollOfTheLastRunningDriveAbortsItAndWritesThePhase)
{
    Start({SelfTestDisk(0, kPassing)});
    run->OnStart(kDstModeQuick);
    SimFault fault;  // REQUEST SENSE never reaches the drive
    fault.action = SimFault::Action::CallFails;
    fault.opcode = 0x03;
    Sim().Disk(0)->AddFault(fault);
    Tick(10);
    EXPECT_NE(output.Text().find("for drive physicaldrive0 \nDST Progress Failed\r\n"), std::string::npos);
    EXPECT_NE(output.Text().find("for drive physicaldrive0 \r\nDST Aborted\r\n"), std::string::npos);
    EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x80}));
    EXPECT_FALSE(Drive(0).underTest);
    ASSERT_EQ(host.logged.size(), 1u);
    EXPECT_NE(host.logged[0].find("The drive self-test was aborted by the abort parameter code."), std::string::npos);
    EXPECT_TRUE(host.startEnabled);
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
