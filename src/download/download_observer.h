#pragma once

#include <cstdint>
#include <vector>

#include "download/download_summary.h"
#include "download/download_transfer.h"
#include "download/microcode_image.h"
#include "download/readiness.h"

struct DeviceEntry;

// What a front end may follow of a download as it goes: the dialog shows
// where it is and a wait cursor during a transfer, the command line prints
// every piece and every change in the drive's answers. All calls come from
// the thread that drives the sequence, never from the worker.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void TransferStarting(const DeviceEntry& /*drive*/, uint32_t /*imageSize*/) {}
    virtual void PieceSent(const DeviceEntry& /*drive*/, const DownloadPiece& /*piece*/, bool /*good*/) {}
    virtual void TransferEnded(const DeviceEntry& /*drive*/, const TransferResult& /*result*/) {}
    // Every check while the drive restarts after its transfer.
    virtual void DriveChecked(const DeviceEntry& /*drive*/, const ReadinessCheck& /*check*/) {}
    virtual void DriveFinished(const DeviceEntry& /*drive*/, const DriveReport& /*report*/) {}
    // No drive is in work any more: every selected drive was served, or the
    // download stopped. One report per drive the download was for, in
    // order, those it never reached included.
    virtual void SequenceEnded(const std::vector<DriveReport>& /*reports*/) {}
};
