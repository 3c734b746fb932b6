#pragma once

#include <cstdint>
#include <vector>

#include "download/microcode_image.h"
#include "scsi/scsi_request.h"
#include "scsi/sense.h"

struct DeviceEntry;
class DownloadObserver;

inline constexpr uint8_t kDownloadWriteBufferOpcode = 0x3B;
// Download microcode with offsets, save and activate (SPC-4).
inline constexpr uint8_t kWriteBufferModeDownloadSave = 0x07;
// One piece may take the drive a while to program.
inline constexpr uint32_t kDownloadPieceTimeOut = 120;
// The drive resets after taking an image; its first answers may be slow.
inline constexpr uint32_t kDownloadCheckTimeOut = 1000;

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
// piece that fails; the observer hears of every piece. Reports nothing.
TransferResult DownloadImage(DeviceEntry& drive, std::vector<uint8_t>& image, DownloadObserver* observer);

// Results of the check after a transfer.
inline constexpr int kCheckReady = 0;
inline constexpr int kCheckStatus = 1;      // CHECK CONDITION other than NOT READY (sense in `codes`)
inline constexpr int kCheckCallFailed = 2;  // no answer
inline constexpr int kCheckNotReady = 3;

// TEST UNIT READY on the drive, with its failure report on. On 1 and 3 the
// sense key, ASC and ASCQ of the answer are in `codes`.
int CheckDriveAfterDownload(DeviceEntry& drive, SenseCodes& codes);
