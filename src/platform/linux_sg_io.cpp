#include "platform/linux_sg_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "scsi/sense.h"

bool PrepareSgIo(ScsiRequest& request, sg_io_hdr_t& header, uint8_t* sense, size_t senseSize, int& errorCode)
{
    header = sg_io_hdr_t{};
    request.DataResidual = request.DataTransferLength;
    if (request.CdbLength == 0 || request.CdbLength > sizeof(request.Cdb)) {
        errorCode = EINVAL;
        return false;
    }
    const bool moves = request.DataTransferLength != 0 && request.DataBuffer != nullptr;
    // A data phase in a direction we cannot name could write to the medium
    // where the caller meant to read; refuse it rather than guess.
    if (moves && request.DataIn != kScsiDataIn && request.DataIn != kScsiDataOut) {
        errorCode = EINVAL;
        return false;
    }

    header.interface_id = 'S';
    header.cmdp = request.Cdb;
    header.cmd_len = request.CdbLength;
    if (moves) {
        header.dxfer_direction = request.DataIn == kScsiDataIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
        header.dxferp = request.DataBuffer;
        header.dxfer_len = request.DataTransferLength;
    } else {
        header.dxfer_direction = SG_DXFER_NONE;
    }
    header.sbp = sense;
    header.mx_sb_len = static_cast<unsigned char>(std::min<size_t>(senseSize, UCHAR_MAX));
    const uint64_t milliseconds = static_cast<uint64_t>(request.TimeOutValue) * 1000;
    header.timeout = static_cast<unsigned>(std::min<uint64_t>(milliseconds, UINT_MAX));
    errorCode = 0;
    return true;
}

bool CompleteSgIo(const sg_io_hdr_t& header, uint8_t* sense, ScsiRequest& request)
{
    const unsigned driverStatus = header.driver_status & 0x0F;  // the high nibble holds retry hints
    if (header.host_status != 0 || (driverStatus != 0 && driverStatus != kSgDriverSense)) {
        request.ScsiStatus = 0;
        return false;
    }
    request.ScsiStatus = header.status;
    // resid is what the low-level driver reports as not moved; a driver that
    // cannot tell leaves it 0, and a negative value (overrun) moved nothing usable.
    const uint32_t asked = header.dxfer_direction == SG_DXFER_NONE ? 0 : header.dxfer_len;
    request.DataResidual = header.resid < 0 ? asked : std::min<uint32_t>(static_cast<uint32_t>(header.resid), asked);

    const size_t received = std::min<size_t>(header.sb_len_wr, header.mx_sb_len);
    if (received > 0 && sense != nullptr) {
        const size_t length = ConvertSenseToFixed(sense, received, header.mx_sb_len);
        const size_t room = std::min<size_t>(request.SenseInfoLength, sizeof(request.SenseData));
        const size_t copied = std::min(length, room);
        std::memcpy(request.SenseData, sense, copied);
        // A shorter reply must not leave an earlier command's bytes behind.
        std::memset(request.SenseData + copied, 0, room - copied);
    }
    return true;
}
