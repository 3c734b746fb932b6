#pragma once

#include <utility>
#include <vector>

#include "scsi/scsi_device.h"

// A device put in front of a drive: whatever it does not take over goes on
// to the drive.
class ForwardingDevice : public ScsiDevice {
public:
    explicit ForwardingDevice(DeviceHandle inner) : inner(std::move(inner)) {}

    bool Execute(ScsiRequest& request) override { return inner->Execute(request); }
    bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override
    {
        return inner->QueryAdapterInquiryData(buffer, errorCode);
    }
    bool QueryAddress(ScsiAddress& address) override { return inner->QueryAddress(address); }
    bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override
    {
        return inner->QueryCapabilities(capabilities, errorCode);
    }

    DeviceHandle inner;
};
