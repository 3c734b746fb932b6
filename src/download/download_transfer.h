#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "download/microcode_image.h"
#include "download/readiness.h"
#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"
#include "scsi/sense.h"

inline constexpr uint8_t kDownloadWriteBufferOpcode = 0x3B;
// Download microcode with offsets, save and activate (SPC-4).
inline constexpr uint8_t kWriteBufferModeDownloadSave = 0x07;
// One piece may take the drive a while to program.
inline constexpr uint32_t kDownloadPieceTimeOut = 120;
// A drive answers TEST UNIT READY at once even while it restarts (NOT
// READY); one that holds the command this long is not answering.
inline constexpr uint32_t kDownloadCheckTimeOut = 30;

// Fills a request the caller zeroed for the WRITE BUFFER of one piece. The
// transfer builds its own record rather than going through a builder: the
// transfer length and the time-out are the piece's.
void BuildDownloadPieceRequest(ScsiRequest& request, uint8_t* image, const DownloadPiece& piece);

// How one drive's transfer ended.
struct TransferResult {
    enum class Outcome {
        Sent,        // every piece answered GOOD
        NoHandle,    // the drive is not open: nothing was sent
        CallFailed,  // a piece never reached the drive
        ScsiStatus,  // a piece ended with a status other than GOOD
        Cancelled,   // the download was cancelled between two pieces
    };
    Outcome outcome = Outcome::Sent;
    uint32_t piecesSent = 0;  // pieces that answered GOOD
    DownloadPiece failedPiece;
    int errorCode = 0;        // CallFailed: the system's code for the failure
    uint8_t scsiStatus = 0;   // ScsiStatus: the status byte
    uint8_t senseLength = 0;  // ... and the sense bytes the transport returned
    uint8_t sense[sizeof(ScsiRequest::SenseData)] = {};
};

// Sends the whole image to the drive, piece by piece, and stops at the first
// piece that fails or once `cancelled` is set; pieceSent hears of every
// piece sent. Reports nothing.
TransferResult DownloadImage(const DeviceHandle& handle, std::vector<uint8_t>& image,
                             const std::atomic<bool>& cancelled,
                             const std::function<void(const DownloadPiece&, bool good)>& pieceSent);

// TEST UNIT READY on the drive, with its failure report on: the result
// (kCheck...), the status when it was not GOOD and, after CHECK CONDITION,
// the sense key, ASC and ASCQ.
ReadinessCheck CheckDriveAfterDownload(DeviceHandle& handle);

// The product revision level of standard INQUIRY data, trailing blanks
// removed; none when INQUIRY failed.
std::optional<std::string> ReadDriveRevision(DeviceHandle& handle);
