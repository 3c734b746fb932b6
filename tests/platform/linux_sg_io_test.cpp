#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/linux_sg_io.h"
#include "scsi/scsi_request.h"
#include "support/case_file.h"

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

// Cases in tests/data/platform/sg_io_completions.txt.
TEST(LinuxSgIo, CompletionGivesStatusResidualAndFixedSenseOrAFailedCall)
{
    const auto Byte = [](const std::string& hex) { return static_cast<uint8_t>(std::stoul(hex, nullptr, 16)); };
    for (const CaseLine& c : ReadCaseFile("platform/sg_io_completions.txt")) {
        SCOPED_TRACE(CaseTrace("sg_io_completions.txt", c));
        const std::vector<uint8_t> driverSense = ParseHexText(c[1]);
        sg_io_hdr_t header{};
        std::array<uint8_t, kSgSenseBufferSize> sense{};
        std::copy(driverSense.begin(), driverSense.end(), sense.begin());
        header.status = Byte(c[0]);
        header.host_status = Byte(c[2]);
        header.driver_status = Byte(c[3]);
        header.resid = std::stoi(c[4]);
        header.mx_sb_len = static_cast<unsigned char>(std::stoul(c[8]));
        header.sb_len_wr = static_cast<unsigned char>(c[9] == "-" ? driverSense.size() : std::stoul(c[9]));
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.dxfer_len = 512;
        std::vector<uint8_t> data(512);
        ScsiRequest request = ReadRequest(data);
        request.SenseInfoLength = static_cast<uint8_t>(std::stoul(c[10]));
        request.ScsiStatus = 0x55;
        std::memset(request.SenseData, 0xEE, sizeof request.SenseData);

        const bool delivered = c[5] == "yes";
        EXPECT_EQ(CompleteSgIo(header, sense.data(), request), delivered);
        EXPECT_EQ(request.ScsiStatus, delivered ? header.status : 0);
        if (delivered) { EXPECT_EQ(DataTransferred(request), std::stoul(c[6])); }
        std::vector<uint8_t> expected = ParseHexText(c[7] == "-" ? "" : c[7]);
        if (!expected.empty()) expected.resize(request.SenseInfoLength, 0);
        expected.resize(sizeof request.SenseData, 0xEE);
        EXPECT_EQ(std::vector<uint8_t>(request.SenseData, request.SenseData + sizeof request.SenseData), expected);
    }
}

}  // namespace
