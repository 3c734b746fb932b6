#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scsi/builders.h"
#include "support/scripted_device.h"
#include "support/stream_capture.h"

namespace {

class BuildersTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
    ScsiRequest request;

    const ScsiRequest& Sent() const { return device->requests.back(); }
    std::vector<uint8_t> SentCdb() const { return {Sent().Cdb, Sent().Cdb + Sent().CdbLength}; }
};

using Bytes = std::vector<uint8_t>;

TEST_F(BuildersTest, SixByteCommandsCarryTheirFieldsTimeOutsAndDirections)
{
    ScsiTestUnitReady(0, request, &handle, 7);
    EXPECT_EQ(SentCdb(), (Bytes{0x00, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Sent().TimeOutValue, 7u);
    EXPECT_EQ(Sent().DataIn, 1);

    request = {};
    ScsiRequestSense(request, &handle, 252, 0);  // the length argument is not used
    EXPECT_EQ(SentCdb(), (Bytes{0x03, 0, 0, 0, 19, 0}));
    EXPECT_EQ(Sent().TimeOutValue, 2u);

    request = {};
    const uint8_t evpd = 1, page = 0x80;
    ScsiInquiry(&evpd, &page, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x12, 0x01, 0x80, 0, 0xFF, 0}));

    request = {};
    const uint8_t pfsp = 0x11, listLength = 0x1C;
    ScsiModeSelect6(&pfsp, &listLength, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x15, 0x11, 0, 0, 0x1C, 0}));
    EXPECT_EQ(Sent().DataIn, 0);

    request = {};
    ScsiStartUnit(0, request, &handle);
    EXPECT_EQ(SentCdb(), (Bytes{0x1B, 0, 0, 0, 0x01, 0}));
    EXPECT_EQ(Sent().DataIn, 1);

    request = {};
    request.Cdb[1] = 0x01;  // PCV and page code are the caller's
    request.Cdb[2] = 0x40;
    ScsiReceiveDiagnostic(0x1234, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x1C, 0x01, 0x40, 0x12, 0x34, 0}));

    request = {};
    ScsiVendorDF(request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0xDF, 0x00, 0x71, 0x0E, 0x00, 0x00}));
    EXPECT_EQ(Sent().DataIn, 0);
}

TEST_F(BuildersTest, ModeSenseCombinesPageControlAndCode)
{
    const uint8_t dbd = 1, current = 3, all = 0x3F;
    ScsiModeSense6(&dbd, &current, &all, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x1A, 0x08, 0xFF, 0, 0xFF, 0}));

    request = {};
    const uint8_t noDbd = 0, changeable = 1, page8 = 0x08;
    ScsiModeSense6(&noDbd, &changeable, &page8, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x1A, 0x00, 0x48, 0, 0xFF, 0}));
}

TEST_F(BuildersTest, SendDiagnosticCannotCarryASelfTestCode)
{
    ScsiSendDiagnostic(0x84, 0x0102, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x1D, 0x04, 0, 0x01, 0x02, 0}));
    EXPECT_EQ(Sent().TimeOutValue, 30u);
    EXPECT_EQ(Sent().DataIn, 0);
}

TEST_F(BuildersTest, TenByteCommandsAreBigEndian)
{
    const uint32_t lba = 0x01020304;
    const uint16_t count = 0x0102;
    ScsiRead10(&lba, &count, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x28, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01, 0x02, 0x00}));
    EXPECT_EQ(Sent().CdbLength, 10);

    request = {};
    ScsiWriteVerify10(1, &lba, &count, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x2E, 0x02, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01, 0x02, 0x00}));
    EXPECT_EQ(Sent().DataIn, 0);

    request = {};
    ScsiWriteVerify10(0, &lba, &count, request, &handle, 0);
    EXPECT_EQ(Sent().Cdb[1], 0x00);

    // VERIFY checks the medium alone: BYTCHK 0, nothing to move.
    request = {};
    ScsiVerify10(lba, count, request, &handle, 0, 60);
    EXPECT_EQ(SentCdb(), (Bytes{0x2F, 0x00, 0x01, 0x02, 0x03, 0x04, 0x00, 0x01, 0x02, 0x00}));
    EXPECT_EQ(Sent().TimeOutValue, 60u);
    EXPECT_EQ(Sent().DataTransferLength, 0u);

    request = {};
    ScsiReadCapacity(1, 0xA0B0C0D0, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x25, 0, 0xA0, 0xB0, 0xC0, 0xD0, 0, 0, 0x01, 0}));

    request = {};
    ScsiReadDefectData10(0xFFFF, 5, 3, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x37, 0, 0x1D, 0, 0, 0, 0, 0xFF, 0xFF, 0}));
    EXPECT_EQ(Sent().TimeOutValue, 500u);

    request = {};
    request.Cdb[2] = 0x00;  // buffer id and offset are the caller's
    request.Cdb[5] = 0x10;
    ScsiWriteBuffer(7, 0x123456, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x3B, 0x07, 0, 0, 0, 0x10, 0x12, 0x34, 0x56, 0}));
    EXPECT_EQ(Sent().DataIn, 0);

    request = {};
    ScsiReadBuffer(2, 0x010000, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x3C, 0x02, 0, 0, 0, 0, 0x01, 0x00, 0x00, 0}));
    EXPECT_EQ(Sent().DataIn, 1);
}

TEST_F(BuildersTest, SixteenByteCommandsCarry64BitAddresses)
{
    ScsiRead16(0x0102030405060708ull, 0x090A0B0C, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x88, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0x09, 0x0A, 0x0B, 0x0C, 0, 0}));
    EXPECT_EQ(Sent().DataIn, 1);
    EXPECT_EQ(Sent().TimeOutValue, 2u);

    request = {};
    ScsiRead16(0x0102030405060708ull, 0x090A0B0C, request, &handle, 0, 60);
    EXPECT_EQ(Sent().TimeOutValue, 60u);

    request = {};
    ScsiVerify16(0x0102030405060708ull, 0x090A0B0C, request, &handle, 0, 60);
    EXPECT_EQ(SentCdb(), (Bytes{0x8F, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0x09, 0x0A, 0x0B, 0x0C, 0, 0}));
    EXPECT_EQ(Sent().TimeOutValue, 60u);
    EXPECT_EQ(Sent().DataTransferLength, 0u);

    request = {};
    ScsiWriteVerify16(1, 0x0102030405060708ull, 0x20, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x8E, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0x20, 0, 0}));
    EXPECT_EQ(Sent().DataIn, 0);

    request = {};
    ScsiReadCapacity16(1, 0x1122334455667788ull, 32, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x9E, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0, 0, 0, 32, 0x01, 0}));
    EXPECT_EQ(Sent().DataIn, 1);
}

TEST_F(BuildersTest, ReadCapacityWithPmiAboveOneLeavesByteEight)
{
    request.Cdb[8] = 0x5A;
    ScsiReadCapacity(2, 0, request, &handle, 0);
    EXPECT_EQ(Sent().Cdb[8], 0x5A);

    request = {};
    request.Cdb[14] = 0x5A;
    ScsiReadCapacity16(2, 0, 32, request, &handle, 0);
    EXPECT_EQ(Sent().Cdb[14], 0x5A);
}

TEST_F(BuildersTest, LogPagesKeepCallerBitsWhenPageControlIsOutOfRange)
{
    ScsiLogSense(1, 0x0200, 0x2F, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x4D, 0, 0x6F, 0, 0, 0, 0, 0x02, 0x00, 0}));

    request = {};
    request.Cdb[2] = 0x80;
    ScsiLogSense(4, 0x10, 0x30, request, &handle, 0);
    EXPECT_EQ(Sent().Cdb[2], 0xB0);

    request = {};
    request.Cdb[1] = 0x02;  // PCR is the caller's
    ScsiLogSelect(3, 0x0010, request, &handle, 0);
    EXPECT_EQ(SentCdb(), (Bytes{0x4C, 0x02, 0xC0, 0, 0, 0, 0, 0x00, 0x10, 0}));

    request = {};
    request.Cdb[2] = 0x55;
    ScsiLogSelect(7, 0, request, &handle, 0);
    EXPECT_EQ(Sent().Cdb[2], 0x55);
}

TEST_F(BuildersTest, TestUnitReadyTellsReadyFromStatusFromFailedCall)
{
    EXPECT_EQ(ScsiTestUnitReady(0, request, &handle, 2), kTestUnitReadyGood);

    device->next.status = kStatusCheckCondition;
    device->next.sense = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01};
    request = {};
    EXPECT_EQ(ScsiTestUnitReady(0, request, &handle, 2), kTestUnitReadyStatus);

    device->next.delivered = false;
    request = {};
    EXPECT_EQ(ScsiTestUnitReady(0, request, &handle, 2), kTestUnitReadyCallFailed);

    DeviceHandle none;
    request = {};
    EXPECT_EQ(ScsiTestUnitReady(0, request, &none, 2), kTestUnitReadyCallFailed);
}

}  // namespace
