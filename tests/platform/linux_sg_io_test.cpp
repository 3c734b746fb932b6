#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/linux_sg_io.h"
#include "scsi/scsi_request.h"

namespace {

constexpr unsigned char kDidNoConnect = 0x01;
constexpr unsigned char kDidTimeOut = 0x03;
constexpr unsigned char kDriverTimeout = 0x06;
constexpr unsigned char kSuggestRetry = 0x10;

// A request as the executor hands it over: READ(10) of one 512-byte block.
ScsiRequest ReadRequest(std::vector<uint8_t>& data)
{
    ScsiRequest request;
    request.CdbLength = 10;
    request.Cdb[0] = 0x28;
    request.Cdb[5] = 0x07;
    request.Cdb[8] = 0x01;
    request.SenseInfoLength = kSenseInfoLength;
    request.DataIn = kScsiDataIn;
    request.TimeOutValue = 2;
    request.DataBuffer = data.data();
    request.DataTransferLength = static_cast<uint32_t>(data.size());
    return request;
}

struct Completion {
    sg_io_hdr_t header{};
    std::array<uint8_t, kSgSenseBufferSize> sense{};

    Completion(unsigned char status, const std::vector<uint8_t>& senseBytes, unsigned char hostStatus = 0,
               unsigned short driverStatus = 0)
    {
        header.mx_sb_len = kSgSenseBufferSize;
        header.status = status;
        header.host_status = hostStatus;
        header.driver_status = driverStatus;
        header.sb_len_wr = static_cast<unsigned char>(senseBytes.size());
        std::copy(senseBytes.begin(), senseBytes.end(), sense.begin());
    }
};

// Fixed-format sense: MEDIUM ERROR, unrecovered read error at LBA 0x1234.
const std::vector<uint8_t> kFixedMediumError = {0xF0, 0x00, 0x03, 0x00, 0x00, 0x12, 0x34, 0x0A, 0x00,
                                                0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00};

}  // namespace

TEST(LinuxSgIo, HeaderCarriesCdbDirectionBufferAndTimeout)
{
    std::vector<uint8_t> data(512);
    ScsiRequest request = ReadRequest(data);
    sg_io_hdr_t header{};
    std::array<uint8_t, kSgSenseBufferSize> sense{};
    int errorCode = -1;
    ASSERT_TRUE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
    EXPECT_EQ(errorCode, 0);
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.cmdp, request.Cdb);
    EXPECT_EQ(header.cmd_len, 10);
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(header.dxferp, data.data());
    EXPECT_EQ(header.dxfer_len, 512u);
    EXPECT_EQ(header.timeout, 2000u);
    EXPECT_EQ(header.sbp, sense.data());
    EXPECT_EQ(header.mx_sb_len, kSgSenseBufferSize);

    request.DataIn = kScsiDataOut;
    request.TimeOutValue = UINT32_MAX;  // would overflow in milliseconds
    ASSERT_TRUE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(header.timeout, UINT_MAX);
}

TEST(LinuxSgIo, NoDataPhaseWithoutLengthOrBuffer)
{
    std::vector<uint8_t> data(8);
    std::array<uint8_t, kSgSenseBufferSize> sense{};
    sg_io_hdr_t header{};
    int errorCode = 0;

    ScsiRequest request = ReadRequest(data);
    request.DataTransferLength = 0;
    ASSERT_TRUE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(header.dxfer_len, 0u);

    request = ReadRequest(data);
    request.DataBuffer = nullptr;
    ASSERT_TRUE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(header.dxfer_len, 0u);
    EXPECT_EQ(header.dxferp, nullptr);

    // Without a data phase the direction byte does not matter.
    request.DataIn = 2;
    EXPECT_TRUE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
}

TEST(LinuxSgIo, RefusesRequestsItCannotIssueSafely)
{
    std::vector<uint8_t> data(8);
    std::array<uint8_t, kSgSenseBufferSize> sense{};
    sg_io_hdr_t header{};
    int errorCode = 0;
    for (uint8_t length : {0, 17, 255}) {
        ScsiRequest request = ReadRequest(data);
        request.CdbLength = length;
        EXPECT_FALSE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode)) << int(length);
        EXPECT_EQ(errorCode, EINVAL);
    }
    ScsiRequest request = ReadRequest(data);
    request.DataIn = 2;
    EXPECT_FALSE(PrepareSgIo(request, header, sense.data(), sense.size(), errorCode));
    EXPECT_EQ(errorCode, EINVAL);
}

TEST(LinuxSgIo, CompletedCommandsGiveStatusAndFixedSense)
{
    std::vector<uint8_t> data(512);

    ScsiRequest good = ReadRequest(data);
    Completion ok(kStatusGood, {});
    ok.header.dxfer_direction = SG_DXFER_FROM_DEV;
    ok.header.dxfer_len = 512;
    EXPECT_TRUE(CompleteSgIo(ok.header, ok.sense.data(), good));
    EXPECT_EQ(good.ScsiStatus, kStatusGood);
    EXPECT_EQ(DataTransferred(good), 512u);

    // The driver's residual reaches the request; an overrun moved nothing usable.
    for (const auto& [resid, moved] : {std::pair{200, 312u}, {-4, 0u}, {600, 0u}}) {
        ScsiRequest shortRead = ReadRequest(data);
        ok.header.resid = resid;
        EXPECT_TRUE(CompleteSgIo(ok.header, ok.sense.data(), shortRead));
        EXPECT_EQ(DataTransferred(shortRead), moved) << resid;
    }

    ScsiRequest busy = ReadRequest(data);
    Completion busyDone(kStatusBusy, {});
    EXPECT_TRUE(CompleteSgIo(busyDone.header, busyDone.sense.data(), busy));
    EXPECT_EQ(busy.ScsiStatus, kStatusBusy);

    // Retry hints in driver_status's high nibble do not make a failed call.
    ScsiRequest check = ReadRequest(data);
    Completion checkDone(kStatusCheckCondition, kFixedMediumError, 0, kSuggestRetry | kSgDriverSense);
    ASSERT_TRUE(CompleteSgIo(checkDone.header, checkDone.sense.data(), check));
    EXPECT_EQ(check.ScsiStatus, kStatusCheckCondition);
    EXPECT_EQ(0, std::memcmp(check.SenseData, kFixedMediumError.data(), kFixedMediumError.size()));
}

TEST(LinuxSgIo, LongSenseIsCutToTheRequestsSenseArea)
{
    std::vector<uint8_t> data(512);
    std::vector<uint8_t> longSense(40);
    for (size_t i = 0; i < longSense.size(); ++i) longSense[i] = static_cast<uint8_t>(0xA0 + i);
    longSense[0] = 0x70;

    ScsiRequest request = ReadRequest(data);
    Completion done(kStatusCheckCondition, longSense, 0, kSgDriverSense);
    ASSERT_TRUE(CompleteSgIo(done.header, done.sense.data(), request));
    EXPECT_EQ(0, std::memcmp(request.SenseData, longSense.data(), kSenseInfoLength));
    for (size_t i = kSenseInfoLength; i < sizeof(request.SenseData); ++i) EXPECT_EQ(request.SenseData[i], 0) << i;

    // A driver claiming more sense than it was given room for is held to the room.
    ScsiRequest overrun = ReadRequest(data);
    Completion lying(kStatusCheckCondition, kFixedMediumError, 0, kSgDriverSense);
    lying.header.mx_sb_len = 8;
    lying.header.sb_len_wr = 200;
    ASSERT_TRUE(CompleteSgIo(lying.header, lying.sense.data(), overrun));
    EXPECT_EQ(0, std::memcmp(overrun.SenseData, kFixedMediumError.data(), 8));
    EXPECT_EQ(overrun.SenseData[12], 0) << "bytes past the sense buffer's room must not be taken";

    ScsiRequest noRoom = ReadRequest(data);
    noRoom.SenseInfoLength = 0;
    ASSERT_TRUE(CompleteSgIo(done.header, done.sense.data(), noRoom));
    EXPECT_EQ(noRoom.SenseData[0], 0);
}

TEST(LinuxSgIo, ShortSenseLeavesNoStaleBytes)
{
    std::vector<uint8_t> data(512);
    ScsiRequest request = ReadRequest(data);
    std::memset(request.SenseData, 0xEE, sizeof(request.SenseData));
    Completion done(kStatusCheckCondition, {0x70, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, kSgDriverSense);
    ASSERT_TRUE(CompleteSgIo(done.header, done.sense.data(), request));
    EXPECT_EQ(request.SenseData[2], 0x06);
    for (size_t i = 8; i < kSenseInfoLength; ++i) EXPECT_EQ(request.SenseData[i], 0) << i;
}

TEST(LinuxSgIo, DescriptorSenseArrivesInFixedFormat)
{
    std::vector<uint8_t> data(512);
    // NOT READY, LOGICAL UNIT NOT READY, FORMAT IN PROGRESS, with an
    // information descriptor for LBA 0x00A0B0C0 and progress 0x4000.
    const std::vector<uint8_t> descriptor = {0x72, 0x02, 0x04, 0x04, 0x00, 0x00, 0x00, 0x14, 0x00, 0x0A, 0x80,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0xB0, 0xC0, 0x02, 0x06,
                                             0x00, 0x00, 0xC0, 0x40, 0x00, 0x00};
    ScsiRequest request = ReadRequest(data);
    Completion done(kStatusCheckCondition, descriptor, 0, kSgDriverSense);
    ASSERT_TRUE(CompleteSgIo(done.header, done.sense.data(), request));
    EXPECT_EQ(request.SenseData[0], 0xF0);  // current, information valid
    EXPECT_EQ(request.SenseData[2], 0x02);
    EXPECT_EQ(request.SenseData[3], 0x00);
    EXPECT_EQ(request.SenseData[4], 0xA0);
    EXPECT_EQ(request.SenseData[5], 0xB0);
    EXPECT_EQ(request.SenseData[6], 0xC0);
    EXPECT_EQ(request.SenseData[12], 0x04);
    EXPECT_EQ(request.SenseData[13], 0x04);
    EXPECT_EQ(request.SenseData[15], 0xC0);
    EXPECT_EQ(request.SenseData[16], 0x40);

    // Cut off inside the header: the sense key still reaches the reader.
    ScsiRequest truncated = ReadRequest(data);
    Completion cut(kStatusCheckCondition, {0x72, 0x03, 0x11}, 0, kSgDriverSense);
    ASSERT_TRUE(CompleteSgIo(cut.header, cut.sense.data(), truncated));
    EXPECT_EQ(truncated.SenseData[0], 0x70);
    EXPECT_EQ(truncated.SenseData[2], 0x03);
    EXPECT_EQ(truncated.SenseData[12], 0x11);
}

TEST(LinuxSgIo, AdapterAndDriverErrorsAreFailedCalls)
{
    std::vector<uint8_t> data(512);
    struct Case {
        const char* name;
        unsigned char hostStatus;
        unsigned short driverStatus;
    };
    for (const Case& c : {Case{"no connect", kDidNoConnect, 0}, Case{"time out", kDidTimeOut, 0},
                          Case{"time out with sense", kDidTimeOut, kSgDriverSense},
                          Case{"driver time out", 0, kDriverTimeout}}) {
        ScsiRequest request = ReadRequest(data);
        request.ScsiStatus = 0x55;
        Completion done(kStatusCheckCondition, kFixedMediumError, c.hostStatus, c.driverStatus);
        EXPECT_FALSE(CompleteSgIo(done.header, done.sense.data(), request)) << c.name;
        EXPECT_EQ(request.ScsiStatus, 0) << c.name;
        EXPECT_EQ(request.SenseData[0], 0) << c.name << ": sense of a failed call is not passed on";
    }
}
