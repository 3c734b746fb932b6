#include "download/download_transfer.h"

#include <algorithm>
#include <cerrno>

#include "download/download_observer.h"
#include "scsi/builders.h"
#include "shell/device_entry.h"

namespace {

constexpr uint8_t kSenseKeyNotReady = 0x02;

void PutBe24(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value >> 16);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value);
}

// The transport says only that the call failed; the platform's own code,
// when it left one, says why.
bool SendPiece(DeviceEntry& drive, ScsiRequest& request, int& errorCode)
{
    errno = 0;
    const bool delivered = drive.handle->Execute(request);
    if (!delivered) errorCode = errno != 0 ? errno : EIO;
    return delivered;
}

}  // namespace

void BuildDownloadPieceRequest(ScsiRequest& request, uint8_t* image, const DownloadPiece& piece)
{
    request.Length = kScsiPassThroughLength;
    request.PathId = 0;
    request.TargetId = 1;
    request.Lun = 0;
    request.CdbLength = 10;
    request.SenseInfoLength = kSenseInfoLength;
    request.DataIn = kScsiDataOut;
    request.DataTransferLength = piece.length;
    request.TimeOutValue = kDownloadPieceTimeOut;
    request.DataBuffer = image != nullptr ? image + piece.offset : nullptr;
    request.SenseInfoOffset = kSenseInfoOffset;
    request.Cdb[0] = kDownloadWriteBufferOpcode;
    request.Cdb[1] = kWriteBufferModeDownloadSave;
    request.Cdb[2] = 0x00;  // buffer id
    PutBe24(request.Cdb + 3, piece.offset);
    PutBe24(request.Cdb + 6, piece.length);
    request.Cdb[9] = 0x00;
}

TransferResult DownloadImage(DeviceEntry& drive, std::vector<uint8_t>& image, DownloadObserver* observer)
{
    TransferResult result;
    if (!drive.handle) {
        result.outcome = TransferResult::Outcome::NoHandle;
        return result;
    }
    const auto size = static_cast<uint32_t>(image.size());
    uint8_t* data = image.empty() ? nullptr : image.data();
    ScsiRequest request{};
    for (const DownloadPiece& piece : PlanDownloadPieces(size)) {
        BuildDownloadPieceRequest(request, data, piece);
        int errorCode = 0;
        if (!SendPiece(drive, request, errorCode)) {
            result.outcome = TransferResult::Outcome::CallFailed;
            result.failedPiece = piece;
            result.errorCode = errorCode;
            if (observer) observer->PieceSent(drive, piece, false);
            return result;
        }
        if (request.ScsiStatus != kStatusGood) {
            result.outcome = TransferResult::Outcome::ScsiStatus;
            result.failedPiece = piece;
            result.scsiStatus = request.ScsiStatus;
            // As many sense bytes as the transport says it may have left,
            // never more than the record holds.
            result.senseLength = std::min<uint8_t>(request.SenseInfoLength, sizeof request.SenseData);
            std::copy(request.SenseData, request.SenseData + result.senseLength, result.sense);
            if (observer) observer->PieceSent(drive, piece, false);
            return result;
        }
        ++result.piecesSent;
        if (observer) observer->PieceSent(drive, piece, true);
    }
    return result;
}

int CheckDriveAfterDownload(DeviceEntry& drive, SenseCodes& codes)
{
    ScsiRequest request{};
    const int result = ScsiTestUnitReady(1, request, &drive.handle, kDownloadCheckTimeOut);
    if (result == kTestUnitReadyGood) return kCheckReady;
    if (result == kTestUnitReadyCallFailed) return kCheckCallFailed;
    codes = ReadSenseCodes(request.SenseData, sizeof request.SenseData);
    return codes.senseKey == kSenseKeyNotReady ? kCheckNotReady : kCheckStatus;
}
