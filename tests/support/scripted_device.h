#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// A device that records every request and answers as a test scripts it:
// delivered or not, a status, sense bytes and data-in bytes.
class ScriptedDevice : public ScsiDevice {
public:
    struct Reply {
        bool delivered = true;
        uint8_t status = kStatusGood;
        std::vector<uint8_t> sense;
        std::vector<uint8_t> data;
    };

    Reply next;                       // used for every request unless `script` is set
    std::function<Reply(const ScsiRequest&)> script;
    std::vector<ScsiRequest> requests;  // copies, as the device saw them

    bool Execute(ScsiRequest& request) override
    {
        requests.push_back(request);
        const Reply reply = script ? script(request) : next;
        if (!reply.delivered) return false;
        request.ScsiStatus = reply.status;
        const size_t dataLength = std::min<size_t>(reply.data.size(), request.DataTransferLength);
        if (request.DataIn == kScsiDataIn && request.DataBuffer != nullptr && dataLength > 0)
            std::memcpy(request.DataBuffer, reply.data.data(), dataLength);
        // As a transport tells it: data-in moves only the reply's bytes.
        request.DataResidual =
            request.DataIn == kScsiDataIn ? request.DataTransferLength - static_cast<uint32_t>(dataLength) : 0;
        const size_t senseLength = std::min<size_t>(reply.sense.size(), request.SenseInfoLength);
        if (senseLength > 0) std::memcpy(request.SenseData, reply.sense.data(), senseLength);
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
};
