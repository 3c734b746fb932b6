#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "drives/log_pages.h"
#include "support/case_file.h"
#include "support/fixed_sense.h"
#include "support/scripted_device.h"

namespace {

class LogPagesTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
};

TEST_F(LogPagesTest, ReadLogPageAsksForCumulativeValuesOfThePageIntoTheBuffer)
{
    device->next.data = {0x30, 0x00, 0x00, 0x08, 0x00, 0x04, 0x03, 0x04, 0x64, 0x63, 0x24, 0x00};
    std::vector<uint8_t> buffer(1024, 0);
    EXPECT_EQ(ReadLogPage(&handle, buffer.data(), 1024, 0x30), kLogPageOk);

    ASSERT_EQ(device->requests.size(), 1u);
    const ScsiRequest& sent = device->requests[0];
    EXPECT_EQ(std::vector<uint8_t>(sent.Cdb, sent.Cdb + sent.CdbLength),
              (std::vector<uint8_t>{0x4D, 0x00, 0x70, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(sent.DataIn, kScsiDataIn);
    EXPECT_EQ(sent.DataTransferLength, 1024u);
    EXPECT_EQ(sent.DataBuffer, buffer.data());
    EXPECT_EQ(sent.TimeOutValue, 2u);
    EXPECT_EQ(buffer[8], 0x64);
}

TEST_F(LogPagesTest, ReadLogPageToleratesOnlyAdditionalSenseCodesZeroAndOne)
{
    uint8_t buffer[64] = {};
    const std::vector<uint8_t> page{0x02, 0x00, 0x00, 0x02, 0x00, 0x00};
    for (const CaseLine& c : ReadCaseFile("drives/log_sense_answers.txt")) {
        SCOPED_TRACE(CaseTrace("log_sense_answers.txt", c));
        const std::vector<uint8_t> codes = ParseHexText(c[1] == "-" ? "" : c[1]);
        const size_t bytes = std::stoul(c[2]);
        device->next = {};
        device->next.status = static_cast<uint8_t>(std::stoul(c[0], nullptr, 16));
        if (!codes.empty()) device->next.sense = FixedSense(codes[0], codes[1]);
        device->next.data.assign(page.begin(), page.begin() + static_cast<ptrdiff_t>(bytes));
        size_t received = 99;
        const bool read = c[3] == "yes";
        EXPECT_EQ(ReadLogPage(&handle, buffer, sizeof buffer, 0x02, &received), read ? kLogPageOk : kLogPageFailed);
        EXPECT_EQ(received, read ? bytes : 0u);
    }
    device->next = {};
    device->next.delivered = false;
    EXPECT_EQ(ReadLogPage(&handle, buffer, sizeof buffer, 0x02), kLogPageFailed);
    EXPECT_EQ(ReadLogPage(nullptr, buffer, sizeof buffer, 0x02), kLogPageFailed);
}

TEST_F(LogPagesTest, ProbeSendsTheVendorKeyToPageSixAsThresholdValues)
{
    EXPECT_EQ(SmartLogSelectProbe(&handle), kLogPageOk);
    ASSERT_EQ(device->requests.size(), 1u);
    const ScsiRequest& sent = device->requests[0];
    EXPECT_EQ(std::vector<uint8_t>(sent.Cdb, sent.Cdb + sent.CdbLength),
              (std::vector<uint8_t>{0x4C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00}));
    EXPECT_EQ(sent.DataIn, kScsiDataOut);
    EXPECT_EQ(sent.DataTransferLength, 12u);
    EXPECT_EQ(sent.TimeOutValue, 2u);
    // The list itself is gone with the call; check the bytes the device saw.
    std::vector<uint8_t> seen;
    device->script = [&](const ScsiRequest& request) {
        const auto* list = static_cast<const uint8_t*>(request.DataBuffer);
        seen.assign(list, list + request.DataTransferLength);
        return ScriptedDevice::Reply{};
    };
    SmartLogSelectProbe(&handle);
    EXPECT_EQ(seen, (std::vector<uint8_t>{0x06, 0x00, 0x00, 0x08, 0xFF, 0xF0, 0x03, 0x04, 0x5C, 0x2A, 0x00, 0x00}));
}

TEST_F(LogPagesTest, ProbeIsAcceptedWhenRefusedWithAdditionalSenseCodeZero)
{
    device->next.status = kStatusCheckCondition;
    device->next.sense = FixedSense(0x05, 0x00);
    EXPECT_EQ(SmartLogSelectProbe(&handle), kLogPageOk);
    device->next.sense = FixedSense(0x05, 0x26);  // invalid field in parameter list: no SMART here
    EXPECT_EQ(SmartLogSelectProbe(&handle), kLogPageFailed);
    device->next = {};
    device->next.delivered = false;
    EXPECT_EQ(SmartLogSelectProbe(&handle), kLogPageFailed);
}

}  // namespace
