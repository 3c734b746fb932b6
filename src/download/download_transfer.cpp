#include "download/download_transfer.h"

#include <algorithm>
#include <cerrno>

#include "download/readiness.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/inquiry_data.h"

namespace {

constexpr uint8_t kSenseKeyNotReady = 0x02;
// The allocation length ScsiInquiry asks for, and the end of the product
// revision level field (bytes 32-35 of standard INQUIRY data).
constexpr size_t kInquiryAllocation = 255;
constexpr uint32_t kInquiryRevisionEnd = 36;

// The transport says only that the call failed; the platform's own code,
// when it left one, says why.
bool SendPiece(const DeviceHandle& handle, ScsiRequest& request, int& errorCode)
{
    errno = 0;
    const bool delivered = handle->Execute(request);
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
    StoreBe24(request.Cdb + 3, piece.offset);
    StoreBe24(request.Cdb + 6, piece.length);
    request.Cdb[9] = 0x00;
}

TransferResult DownloadImage(const DeviceHandle& handle, std::vector<uint8_t>& image,
                             const std::atomic<bool>& cancelled,
                             const std::function<void(const DownloadPiece&, bool good)>& pieceSent)
{
    TransferResult result;
    if (!handle) {
        result.outcome = TransferResult::Outcome::NoHandle;
        return result;
    }
    const auto size = static_cast<uint32_t>(image.size());
    uint8_t* data = image.empty() ? nullptr : image.data();
    ScsiRequest request{};
    for (const DownloadPiece& piece : PlanDownloadPieces(size)) {
        if (cancelled.load()) {
            result.outcome = TransferResult::Outcome::Cancelled;
            return result;
        }
        BuildDownloadPieceRequest(request, data, piece);
        int errorCode = 0;
        if (!SendPiece(handle, request, errorCode)) {
            result.outcome = TransferResult::Outcome::CallFailed;
            result.failedPiece = piece;
            result.errorCode = errorCode;
            if (pieceSent) pieceSent(piece, false);
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
            if (pieceSent) pieceSent(piece, false);
            return result;
        }
        ++result.piecesSent;
        if (pieceSent) pieceSent(piece, true);
    }
    return result;
}

ReadinessCheck CheckDriveAfterDownload(DeviceHandle& handle)
{
    ReadinessCheck check;
    ScsiRequest request{};
    const int result = ScsiTestUnitReady(1, request, &handle, kDownloadCheckTimeOut);
    if (result == kTestUnitReadyGood) return check;
    if (result == kTestUnitReadyCallFailed) {
        check.result = kCheckCallFailed;
        return check;
    }
    check.status = request.ScsiStatus;
    // Only a CHECK CONDITION carries sense; BUSY and its kin leave none.
    if (check.status == kStatusCheckCondition) check.codes = ReadSenseCodes(request.SenseData, sizeof request.SenseData);
    check.result = check.codes.senseKey == kSenseKeyNotReady ? kCheckNotReady : kCheckStatus;
    return check;
}

std::optional<std::string> ReadDriveRevision(DeviceHandle& handle)
{
    uint8_t data[kInquiryAllocation] = {};
    ScsiRequest request{};
    request.DataTransferLength = sizeof data;
    request.DataBuffer = data;
    const uint8_t evpd = 0;
    const uint8_t pageCode = 0;
    if (ScsiInquiry(&evpd, &pageCode, request, &handle, 1) != 1) return std::nullopt;
    // A reply that ends before the revision field does not tell it.
    const uint32_t received = DataTransferred(request);
    if (received < kInquiryRevisionEnd) return std::nullopt;
    std::string revision = DecodeStandardInquiry(data, received).revision;
    revision.erase(revision.find_last_not_of(' ') + 1);
    return revision;
}
