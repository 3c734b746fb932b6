#include "sim/sim_device.h"

#include <algorithm>
#include <cstring>

#include "platform/adapter_list.h"
#include "scsi/scsi_request.h"
#include "scsi/sense.h"
#include "sim/sim_disk.h"

namespace {

// The adapter list carries the first 36 bytes of standard INQUIRY data,
// as the adapter read them when it scanned its bus.
constexpr size_t kListedInquiryLength = 36;
// Room for the longest sense a target can return (additional length 244).
constexpr size_t kSenseScratch = 252;

}  // namespace

SimScsiDevice::SimScsiDevice(std::shared_ptr<SimDisk> disk, std::shared_ptr<const SimAdapter> adapter,
                             int adapterListError, int capabilitiesError)
    : disk_(std::move(disk)),
      adapter_(std::move(adapter)),
      adapterListError_(adapterListError),
      capabilitiesError_(capabilitiesError)
{
}

bool SimScsiDevice::Execute(ScsiRequest& request)
{
    request.ScsiStatus = 0;
    request.DataResidual = request.DataTransferLength;
    if (!disk_ || request.CdbLength == 0 || request.CdbLength > sizeof request.Cdb) return false;

    auto* buffer = static_cast<uint8_t*>(request.DataBuffer);
    const uint32_t length = buffer ? request.DataTransferLength : 0;
    const SimDirection direction = request.DataIn == kScsiDataIn ? SimDirection::In : SimDirection::Out;
    const SimResult result =
        disk_->Execute(request.Cdb, request.CdbLength, direction, buffer, length, request.TimeOutValue);
    if (result.callFailed) return false;

    request.ScsiStatus = result.status;
    request.DataResidual = request.DataTransferLength - std::min(result.dataMoved, request.DataTransferLength);
    if (result.status == kStatusCheckCondition) {
        // Every reader of sense bytes expects fixed format; a drive that
        // answers in descriptor format is converted here.
        uint8_t sense[kSenseScratch] = {};
        const size_t returned = std::min(result.sense.size(), sizeof sense);
        std::memcpy(sense, result.sense.data(), returned);
        const size_t fixedLength = ConvertSenseToFixed(sense, returned, sizeof sense);
        const size_t room = std::min<size_t>(request.SenseInfoLength, sizeof request.SenseData);
        std::memset(request.SenseData, 0, room);
        std::memcpy(request.SenseData, sense, std::min(fixedLength, room));
    }
    return true;
}

bool SimScsiDevice::QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode)
{
    if (adapterListError_ != 0) {
        errorCode = adapterListError_;
        return false;
    }
    std::vector<AdapterListDevice> devices;
    for (const SimAdapterEntry& entry : adapter_->listed) {
        AdapterListDevice device;
        device.pathId = entry.bus;
        device.targetId = entry.targetId;
        device.lun = entry.lun;
        device.claimed = entry.claimed;
        device.inquiry = entry.disk->StandardInquiryData();
        device.inquiry.resize(kListedInquiryLength);
        devices.push_back(std::move(device));
    }
    buffer = BuildAdapterInquiryData(adapter_->buses, devices, kAdapterListBufferSize);
    errorCode = 0;
    return true;
}

bool SimScsiDevice::QueryAddress(ScsiAddress&)
{
    return false;
}

bool SimScsiDevice::QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode)
{
    if (capabilitiesError_ != 0) {
        errorCode = capabilitiesError_;
        return false;
    }
    capabilities = adapter_->capabilities;
    errorCode = 0;
    return true;
}
