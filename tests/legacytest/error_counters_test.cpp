#include <gtest/gtest.h>

#include "legacy_bench_fixture.h"
#include "legacytest/error_counters.h"
#include "sim/sim_sense.h"
#include "support/scripted_device.h"

namespace {

using legacytest::FixedSense;

std::vector<uint8_t> Cdb(const ScsiRequest& request) { return {request.Cdb, request.Cdb + request.CdbLength}; }

class ErrorCountersScriptedTest : public ::testing::Test {
protected:
    void SetUp() override { g_bLogCountersReset = 1; }
    void TearDown() override { g_bLogCountersReset = 0; }

    int Check() { return CheckErrorCounterPages(&output, context); }

    // Page length answered for each page code, in the LOG SENSE header.
    void Answer(std::map<uint8_t, uint16_t> lengths, uint8_t failingPage = 0)
    {
        device->script = [lengths, failingPage](const ScsiRequest& request) {
            ScriptedDevice::Reply reply;
            const uint8_t page = request.Cdb[2] & 0x3F;
            if (page == failingPage) {
                reply.status = kStatusCheckCondition;
                reply.sense = FixedSense(kSenseKeyIllegalRequest, 0x24);
                return reply;
            }
            const uint16_t length = lengths.count(page) ? lengths.at(page) : 0;
            reply.data = {page, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0, 0, 0, 0, 0};
            return reply;
        };
    }

    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
    legacytest::FakeClock clock;
    NoKeyboard keyboard;
    TestContext context{handle, clock, keyboard};
    legacytest::RecordingOutput output;
    StreamCapture streams;
};

TEST_F(ErrorCountersScriptedTest, ChangedAmountsOf100PassAnd101AsksForAFullScan)
{
    Answer({{0x02, 100}, {0x03, 100}, {0x05, 100}});
    EXPECT_EQ(Check(), kErrorCountersPass);
    ASSERT_EQ(device->requests.size(), 3u);
    EXPECT_EQ(Cdb(device->requests[0]), (std::vector<uint8_t>{0x4D, 0x02, 0x42, 0, 0, 0, 0, 0, 0x0A, 0}));
    EXPECT_EQ(Cdb(device->requests[1]), (std::vector<uint8_t>{0x4D, 0x02, 0x43, 0, 0, 0, 0, 0, 0x0A, 0}));
    EXPECT_EQ(Cdb(device->requests[2]), (std::vector<uint8_t>{0x4D, 0x02, 0x45, 0, 0, 0, 0, 0, 0x0A, 0}));
    EXPECT_EQ(device->requests[0].DataTransferLength, 10u);
    EXPECT_EQ(output.Text(), "");

    device->requests.clear();
    Answer({{0x02, 0}, {0x03, 101}, {0x05, 500}});
    EXPECT_EQ(Check(), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nRead Errors=101\r\n\r\nRun Full Disk Scan\r\n");
    EXPECT_EQ(device->requests.size(), 2u) << "page 05h is not read after a failure";
}

TEST_F(ErrorCountersScriptedTest, EachPageNamesItsCount)
{
    Answer({{0x02, 0x1234}});
    EXPECT_EQ(Check(), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nWrite Errors=4660\r\n\r\nRun Full Disk Scan\r\n");
}

TEST_F(ErrorCountersScriptedTest, UnreadablePageEndsTheCheckWithItsOwnMessage)
{
    Answer({}, 0x02);
    EXPECT_EQ(Check(), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nLog Page 02 failed\r\n");
    EXPECT_EQ(device->requests.size(), 1u);

    Answer({}, 0x03);
    EXPECT_EQ(CheckErrorCounterPages(&output, context), kErrorCountersFailed);
    EXPECT_EQ(output.Text(), "\r\nLog Page 02 failed\r\nLog Page 03 failed\r\n") << "a plain line, not a block";

    // No tolerance for sense data here, even "no sense".
    legacytest::RecordingOutput fifth;
    device->script = nullptr;
    device->next.status = kStatusCheckCondition;
    device->next.sense = FixedSense(kSenseKeyNoSense, 0x00);
    EXPECT_EQ(CheckErrorCounterPages(&fifth, context), kErrorCountersFailed);
}

TEST_F(ErrorCountersScriptedTest, FirstCheckOfTheRunResetsTheCountersAndPrintsNothing)
{
    g_bLogCountersReset = 0;
    EXPECT_EQ(Check(), kErrorCountersPass);
    ASSERT_EQ(device->requests.size(), 1u);
    EXPECT_EQ(Cdb(device->requests[0]), (std::vector<uint8_t>{0x4C, 0x02, 0x40, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(device->requests[0].DataTransferLength, 0u);
    EXPECT_EQ(g_bLogCountersReset.load(), 1);
    EXPECT_EQ(output.Text(), "");
}

TEST_F(ErrorCountersScriptedTest, RefusedResetFailsSilentlyAndIsTriedAgainNextTime)
{
    g_bLogCountersReset = 0;
    device->next.status = kStatusCheckCondition;
    device->next.sense = FixedSense(kSenseKeyIllegalRequest, 0x24);
    EXPECT_EQ(Check(), kErrorCountersResetFailed);
    EXPECT_EQ(g_bLogCountersReset.load(), 0);
    EXPECT_EQ(output.Text(), "");

    // A refusal with additional sense code 00h counts as done.
    device->next.sense = FixedSense(kSenseKeyIllegalRequest, 0x00);
    EXPECT_EQ(Check(), kErrorCountersPass);
    EXPECT_EQ(g_bLogCountersReset.load(), 1);
    EXPECT_EQ(Cdb(device->requests[1])[1], 0x02);
}

class ErrorCountersBenchTest : public LegacyBenchTest {};

TEST_F(ErrorCountersBenchTest, OnlyTheFirstDriveOfTheProgramRunIsReset)
{
    Start(Bench(1, Disk(0, 0) + "," + Disk(0, 1)));
    auto& first = Tap(Entry(0));
    auto& second = Tap(Entry(1));
    TestContext one(Entry(0).handle, clock, keyboard);
    TestContext two(Entry(1).handle, clock, keyboard);
    EXPECT_EQ(CheckErrorCounterPages(&output, one), kErrorCountersPass);
    EXPECT_EQ(CheckErrorCounterPages(&output, two), kErrorCountersPass);
    EXPECT_EQ(CheckErrorCounterPages(&output, one), kErrorCountersPass);
    EXPECT_EQ(first.WithOpcode(0x4C).size(), 1u);
    EXPECT_EQ(first.WithOpcode(0x4D).size(), 3u);
    EXPECT_TRUE(second.WithOpcode(0x4C).empty());
    EXPECT_EQ(second.WithOpcode(0x4D).size(), 3u);
}

}  // namespace
