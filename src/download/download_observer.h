#pragma once

#include <cstdint>

#include "download/download_transfer.h"
#include "download/microcode_image.h"
#include "scsi/sense.h"

struct DeviceEntry;

// How a drive's part of a download ended.
enum class DriveOutcome {
    TookImage,       // every piece went and the drive came back (ready, or reporting its reset)
    TransferFailed,  // a piece failed or the drive is not open; the check still ran
    Timeout,         // not ready, or no answer, six checks in a row
    AbnormalStatus,  // the check ended in a CHECK CONDITION other than the reset
    NotChecked,      // the download was cancelled before the drive was checked
};

// Short words for a report line, e.g. "took the image".
const char* DriveOutcomeText(DriveOutcome outcome);

// What a front end may follow of a download as it goes: the dialog shows a
// wait cursor during a transfer, the command line prints every piece. All
// calls come from the thread that drives the sequence.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void TransferStarting(const DeviceEntry& /*drive*/, uint32_t /*imageSize*/) {}
    virtual void PieceSent(const DeviceEntry& /*drive*/, const DownloadPiece& /*piece*/, bool /*good*/) {}
    virtual void TransferEnded(const DeviceEntry& /*drive*/, const TransferResult& /*result*/) {}
    // One check after the transfer: a kCheck... result, the sense of the
    // answer and the count of not-ready answers so far.
    virtual void DriveChecked(const DeviceEntry& /*drive*/, int /*result*/, const SenseCodes& /*codes*/,
                              uint32_t /*retries*/)
    {
    }
    virtual void DriveFinished(const DeviceEntry& /*drive*/, DriveOutcome /*outcome*/) {}
    // No drive is in work any more: every selected drive was served, or
    // the download stopped.
    virtual void SequenceEnded() {}
};
