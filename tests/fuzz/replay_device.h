#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// A drive that answers every data-in command with the fuzz input, whatever
// the length asked, and takes every other command; it has no adapter.
class ReplayDevice final : public ScsiDevice {
public:
    ReplayDevice(const uint8_t* data, size_t size) : reply_(data, data + size) {}

    bool Execute(ScsiRequest& request) override
    {
        request.ScsiStatus = 0;
        if (request.DataIn == kScsiDataIn && request.DataBuffer != nullptr && !reply_.empty())
            std::memcpy(request.DataBuffer, reply_.data(), std::min<size_t>(reply_.size(), request.DataTransferLength));
        return true;
    }
    bool QueryAdapterInquiryData(std::vector<uint8_t>&, int& errorCode) override
    {
        errorCode = 1;
        return false;
    }
    bool QueryAddress(ScsiAddress&) override { return false; }
    bool QueryCapabilities(AdapterCapabilities&, int& errorCode) override
    {
        errorCode = 1;
        return false;
    }

private:
    std::vector<uint8_t> reply_;
};
