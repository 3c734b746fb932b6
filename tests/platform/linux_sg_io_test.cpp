#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/linux_sg_io.h"
#include "scsi/scsi_request.h"
#include "support/hex_fixture.h"

namespace {

// A request as the executor hands it over: READ(10) of one 512-byte block.
ScsiRequest ReadRequest(std::vector<uint8_t>& data)
{
    ScsiRequest request;
    request.CdbLength = 10;
    request.Cdb[0] = 0x28;
    request.Cdb[8] = 0x01;
    request.SenseInfoLength = kSenseInfoLength;
    request.DataIn = kScsiDataIn;
    request.TimeOutValue = 2;
    request.DataBuffer = data.data();
    request.DataTransferLength = static_cast<uint32_t>(data.size());
    return request;
}

struct PrepareCase {
    const char* name;
    std::function<void(ScsiRequest&)> edit;
    bool ok;
    int direction = SG_DXFER_NONE;
    unsigned length = 0;
    unsigned timeOut = 2000;
};

const PrepareCase kPrepareCases[] = {
    {"read", [](ScsiRequest&) {}, true, SG_DXFER_FROM_DEV, 512},
    {"write, time-out beyond milliseconds",
     [](ScsiRequest& r) { r.DataIn = kScsiDataOut; r.TimeOutValue = UINT32_MAX; }, true, SG_DXFER_TO_DEV, 512, UINT_MAX},
    {"no length", [](ScsiRequest& r) { r.DataTransferLength = 0; }, true},
    {"no buffer, any direction byte", [](ScsiRequest& r) { r.DataBuffer = nullptr; r.DataIn = 2; }, true},
    {"empty CDB", [](ScsiRequest& r) { r.CdbLength = 0; }, false},
    {"CDB of 17", [](ScsiRequest& r) { r.CdbLength = 17; }, false},
    {"CDB of 255", [](ScsiRequest& r) { r.CdbLength = 255; }, false},
    {"unknown direction", [](ScsiRequest& r) { r.DataIn = 2; }, false},
};

TEST(LinuxSgIo, HeaderCarriesCdbDirectionBufferAndTimeoutOrRefuses)
{
    for (const PrepareCase& c : kPrepareCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data(512);
        ScsiRequest request = ReadRequest(data);
        c.edit(request);
        sg_io_hdr_t header{};
        std::array<uint8_t, kSgSenseBufferSize> sense{};
        int errorCode = -1;
        ASSERT_EQ(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode), c.ok);
        EXPECT_EQ(errorCode, c.ok ? 0 : EINVAL);
        if (!c.ok) continue;
        EXPECT_EQ(header.interface_id, 'S');
        EXPECT_EQ(header.cmdp, request.Cdb);
        EXPECT_EQ(header.cmd_len, 10);
        EXPECT_EQ(header.dxfer_direction, c.direction);
        EXPECT_EQ(header.dxfer_len, c.length);
        EXPECT_EQ(header.dxferp, c.length ? data.data() : nullptr);
        EXPECT_EQ(header.timeout, c.timeOut);
        EXPECT_EQ(header.sbp, sense.data());
        EXPECT_EQ(header.mx_sb_len, kSgSenseBufferSize);
    }
}

const char* const kMediumError = "F0 00 03 00 00 12 34 0A 00 00 00 00 11 00 00 00 00 00";
const char* const kLongSense = "70 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB "
                               "BC BD BE BF C0 C1 C2 C3 C4 C5 C6 C7";

// A completion as the driver hands it back, and what the request must hold
// after it: the request's sense area starts full of EEh, so each byte the
// completion left alone shows.
struct CompletionCase {
    const char* name;
    unsigned char status;
    const char* sense;  // as the driver wrote it
    unsigned char hostStatus = 0;
    unsigned short driverStatus = 0;
    int resid = 0;
    bool delivered = true;
    uint32_t moved = 512;
    const char* fixed = "";  // the request's sense bytes, zeros after them to its area's end; "": untouched
    unsigned char room = kSgSenseBufferSize;  // mx_sb_len
    unsigned char written = 0;                // sb_len_wr, when not the sense's length
    uint8_t senseInfoLength = kSenseInfoLength;
};

const CompletionCase kCompletionCases[] = {
    {"good", kStatusGood, ""},
    {"short read", kStatusGood, "", 0, 0, 200, true, 312},
    {"overrun moved nothing usable", kStatusGood, "", 0, 0, -4, true, 0},
    {"residual beyond the transfer", kStatusGood, "", 0, 0, 600, true, 0},
    {"busy", kStatusBusy, ""},
    {"retry hints are no failed call", kStatusCheckCondition, kMediumError, 0, 0x10 | kSgDriverSense, 0, true, 512,
     kMediumError},
    {"long sense cut to the request's area", kStatusCheckCondition, kLongSense, 0, kSgDriverSense, 0, true, 512,
     "70 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF B0 B1 B2 B3 B4 B5 B6 B7"},
    {"more sense claimed than room for", kStatusCheckCondition, kMediumError, 0, kSgDriverSense, 0, true, 512,
     "F0 00 03 00 00 12 34 0A", 8, 200},
    {"no sense area", kStatusCheckCondition, kMediumError, 0, kSgDriverSense, 0, true, 512, "", kSgSenseBufferSize, 0,
     0},
    {"short sense leaves no stale bytes", kStatusCheckCondition, "70 00 06 00 00 00 00 00", 0, kSgDriverSense, 0, true,
     512, "70 00 06 00 00 00 00 00"},
    // NOT READY, FORMAT IN PROGRESS, information LBA A0B0C0h, progress 4000h.
    {"descriptor sense arrives fixed", kStatusCheckCondition,
     "72 02 04 04 00 00 00 14 00 0A 80 00 00 00 00 00 00 A0 B0 C0 02 06 00 00 C0 40 00 00", 0, kSgDriverSense, 0,
     true, 512, "F0 00 02 00 A0 B0 C0 0A 00 00 00 00 04 04 00 C0 40 00"},
    {"descriptor sense cut inside its header", kStatusCheckCondition, "72 03 11", 0, kSgDriverSense, 0, true, 512,
     "70 00 03 00 00 00 00 0A 00 00 00 00 11 00"},
    {"no connect", kStatusCheckCondition, kMediumError, 0x01, 0, 0, false},
    {"time out", kStatusCheckCondition, kMediumError, 0x03, 0, 0, false},
    {"time out with sense", kStatusCheckCondition, kMediumError, 0x03, kSgDriverSense, 0, false},
    {"driver time out", kStatusCheckCondition, kMediumError, 0, 0x06, 0, false},
};

TEST(LinuxSgIo, CompletionGivesStatusResidualAndFixedSenseOrAFailedCall)
{
    for (const CompletionCase& c : kCompletionCases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> driverSense = ParseHexText(c.sense);
        sg_io_hdr_t header{};
        std::array<uint8_t, kSgSenseBufferSize> sense{};
        std::copy(driverSense.begin(), driverSense.end(), sense.begin());
        header.mx_sb_len = c.room;
        header.status = c.status;
        header.host_status = c.hostStatus;
        header.driver_status = c.driverStatus;
        header.sb_len_wr = c.written ? c.written : static_cast<unsigned char>(driverSense.size());
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.dxfer_len = 512;
        header.resid = c.resid;
        std::vector<uint8_t> data(512);
        ScsiRequest request = ReadRequest(data);
        request.SenseInfoLength = c.senseInfoLength;
        request.ScsiStatus = 0x55;
        std::memset(request.SenseData, 0xEE, sizeof request.SenseData);

        EXPECT_EQ(CompleteSgIo(header, sense.data(), request), c.delivered);
        EXPECT_EQ(request.ScsiStatus, c.delivered ? c.status : 0);
        if (c.delivered) { EXPECT_EQ(DataTransferred(request), c.moved); }
        std::vector<uint8_t> expected = ParseHexText(c.fixed);
        if (!expected.empty()) expected.resize(c.senseInfoLength, 0);
        expected.resize(sizeof request.SenseData, 0xEE);
        EXPECT_EQ(std::vector<uint8_t>(request.SenseData, request.SenseData + sizeof request.SenseData), expected);
    }
}

}  // namespace
