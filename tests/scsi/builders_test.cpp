#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "scsi/builders.h"
#include "support/hex_fixture.h"
#include "support/scripted_device.h"

namespace {

// A builder sent with a request the caller may have filled in part, and the
// CDB, time-out (0: any), direction (-1: any) and data length (-1: any) the
// drive must see.
struct BuilderCase {
    const char* name;
    std::function<void(ScsiRequest&, DeviceHandle*)> send;
    const char* cdb;
    uint32_t timeOut = 0;
    int dataIn = -1;
    int64_t transferLength = -1;
};

const uint32_t kLba = 0x01020304;
const uint16_t kCount = 0x0102;
const uint64_t kLba64 = 0x0102030405060708ull;

const BuilderCase kCases[] = {
    {"TEST UNIT READY", [](auto& r, auto* h) { ScsiTestUnitReady(0, r, h, 7); }, "00 00 00 00 00 00", 7, 1},
    {"REQUEST SENSE ignores its length", [](auto& r, auto* h) { ScsiRequestSense(r, h, 252, 0); },
     "03 00 00 00 13 00", 2},
    {"INQUIRY", [](auto& r, auto* h) { const uint8_t evpd = 1, page = 0x80; ScsiInquiry(&evpd, &page, r, h, 0); },
     "12 01 80 00 FF 00"},
    {"MODE SELECT (6)",
     [](auto& r, auto* h) { const uint8_t pfsp = 0x11, length = 0x1C; ScsiModeSelect6(&pfsp, &length, r, h, 0); },
     "15 11 00 00 1C 00", 0, 0},
    {"START UNIT", [](auto& r, auto* h) { ScsiStartUnit(0, r, h); }, "1B 00 00 00 01 00", 0, 1},
    {"RECEIVE DIAGNOSTIC keeps PCV and page code",
     [](auto& r, auto* h) { r.Cdb[1] = 0x01; r.Cdb[2] = 0x40; ScsiReceiveDiagnostic(0x1234, r, h, 0); },
     "1C 01 40 12 34 00"},
    {"vendor DFh", [](auto& r, auto* h) { ScsiVendorDF(r, h, 0); }, "DF 00 71 0E 00 00", 0, 0},
    {"MODE SENSE all pages, DBD",
     [](auto& r, auto* h) { const uint8_t dbd = 1, pc = 3, page = 0x3F; ScsiModeSense6(&dbd, &pc, &page, r, h, 0); },
     "1A 08 FF 00 FF 00"},
    {"MODE SENSE changeable values",
     [](auto& r, auto* h) { const uint8_t dbd = 0, pc = 1, page = 8; ScsiModeSense6(&dbd, &pc, &page, r, h, 0); },
     "1A 00 48 00 FF 00"},
    {"SEND DIAGNOSTIC cannot carry a self-test code",
     [](auto& r, auto* h) { ScsiSendDiagnostic(0x84, 0x0102, r, h, 0); }, "1D 04 00 01 02 00", 30, 0},
    {"READ (10)", [](auto& r, auto* h) { ScsiRead10(&kLba, &kCount, r, h, 0); }, "28 00 01 02 03 04 00 01 02 00"},
    {"WRITE AND VERIFY (10), byte check", [](auto& r, auto* h) { ScsiWriteVerify10(1, &kLba, &kCount, r, h, 0); },
     "2E 02 01 02 03 04 00 01 02 00", 0, 0},
    {"WRITE AND VERIFY (10)", [](auto& r, auto* h) { ScsiWriteVerify10(0, &kLba, &kCount, r, h, 0); },
     "2E 00 01 02 03 04 00 01 02 00"},
    {"VERIFY (10) reads the medium alone", [](auto& r, auto* h) { ScsiVerify10(kLba, kCount, r, h, 0, 60); },
     "2F 00 01 02 03 04 00 01 02 00", 60, -1, 0},
    {"READ CAPACITY (10), PMI", [](auto& r, auto* h) { ScsiReadCapacity(1, 0xA0B0C0D0, r, h, 0); },
     "25 00 A0 B0 C0 D0 00 00 01 00"},
    {"READ CAPACITY (10), PMI above 1 leaves byte 8",
     [](auto& r, auto* h) { r.Cdb[8] = 0x5A; ScsiReadCapacity(2, 0, r, h, 0); }, "25 00 00 00 00 00 00 00 5A 00"},
    {"READ DEFECT DATA (10)", [](auto& r, auto* h) { ScsiReadDefectData10(0xFFFF, 5, 3, r, h, 0); },
     "37 00 1D 00 00 00 00 FF FF 00", 500},
    {"WRITE BUFFER keeps buffer id and offset",
     [](auto& r, auto* h) { r.Cdb[5] = 0x10; ScsiWriteBuffer(7, 0x123456, r, h, 0); },
     "3B 07 00 00 00 10 12 34 56 00", 0, 0},
    {"READ BUFFER", [](auto& r, auto* h) { ScsiReadBuffer(2, 0x010000, r, h, 0); }, "3C 02 00 00 00 00 01 00 00 00",
     0, 1},
    {"READ (16)", [](auto& r, auto* h) { ScsiRead16(kLba64, 0x090A0B0C, r, h, 0); },
     "88 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00", 2, 1},
    {"READ (16), long time-out", [](auto& r, auto* h) { ScsiRead16(kLba64, 0x090A0B0C, r, h, 0, 60); },
     "88 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00", 60},
    {"VERIFY (16)", [](auto& r, auto* h) { ScsiVerify16(kLba64, 0x090A0B0C, r, h, 0, 60); },
     "8F 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 00 00", 60, -1, 0},
    {"WRITE AND VERIFY (16)", [](auto& r, auto* h) { ScsiWriteVerify16(1, kLba64, 0x20, r, h, 0); },
     "8E 02 01 02 03 04 05 06 07 08 00 00 00 20 00 00", 0, 0},
    {"READ CAPACITY (16)", [](auto& r, auto* h) { ScsiReadCapacity16(1, 0x1122334455667788ull, 32, r, h, 0); },
     "9E 10 11 22 33 44 55 66 77 88 00 00 00 20 01 00", 0, 1},
    {"READ CAPACITY (16), PMI above 1 leaves byte 14",
     [](auto& r, auto* h) { r.Cdb[14] = 0x5A; ScsiReadCapacity16(2, 0, 32, r, h, 0); },
     "9E 10 00 00 00 00 00 00 00 00 00 00 00 20 5A 00"},
    {"LOG SENSE", [](auto& r, auto* h) { ScsiLogSense(1, 0x0200, 0x2F, r, h, 0); }, "4D 00 6F 00 00 00 00 02 00 00"},
    {"LOG SENSE keeps the caller's page control above 3",
     [](auto& r, auto* h) { r.Cdb[2] = 0x80; ScsiLogSense(4, 0x10, 0x30, r, h, 0); }, "4D 00 B0 00 00 00 00 00 10 00"},
    {"LOG SELECT keeps PCR", [](auto& r, auto* h) { r.Cdb[1] = 0x02; ScsiLogSelect(3, 0x0010, r, h, 0); },
     "4C 02 C0 00 00 00 00 00 10 00"},
    {"LOG SELECT keeps the caller's page control above 3",
     [](auto& r, auto* h) { r.Cdb[2] = 0x55; ScsiLogSelect(7, 0, r, h, 0); }, "4C 00 55 00 00 00 00 00 00 00"},
};

class BuildersTest : public ::testing::TestWithParam<BuilderCase> {};

TEST_P(BuildersTest, SendTheirFieldsInPlace)
{
    const BuilderCase& c = GetParam();
    auto device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device;
    ScsiRequest request;
    c.send(request, &handle);
    ASSERT_EQ(device->requests.size(), 1u);
    const ScsiRequest& sent = device->requests.back();
    EXPECT_EQ(std::vector<uint8_t>(sent.Cdb, sent.Cdb + sent.CdbLength), ParseHexText(c.cdb)) << c.name;
    if (c.timeOut != 0) { EXPECT_EQ(sent.TimeOutValue, c.timeOut); }
    if (c.dataIn >= 0) { EXPECT_EQ(sent.DataIn, c.dataIn); }
    if (c.transferLength >= 0) { EXPECT_EQ(sent.DataTransferLength, c.transferLength); }
}

INSTANTIATE_TEST_SUITE_P(Commands, BuildersTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(TestUnitReady, TellsReadyFromStatusFromFailedCall)
{
    auto device = std::make_shared<ScriptedDevice>();
    DeviceHandle handle = device, none;
    ScsiRequest request;
    EXPECT_EQ(ScsiTestUnitReady(0, request, &handle, 2), kTestUnitReadyGood);
    device->next.status = kStatusCheckCondition;
    device->next.sense = ParseHexText("70 00 02 00 00 00 00 0A 00 00 00 00 04 01");
    EXPECT_EQ(ScsiTestUnitReady(0, request = {}, &handle, 2), kTestUnitReadyStatus);
    device->next.delivered = false;
    EXPECT_EQ(ScsiTestUnitReady(0, request = {}, &handle, 2), kTestUnitReadyCallFailed);
    EXPECT_EQ(ScsiTestUnitReady(0, request = {}, &none, 2), kTestUnitReadyCallFailed);
}

}  // namespace
