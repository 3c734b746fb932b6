#include "platform/linux_adapter_list.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

void PutPadded(std::vector<uint8_t>& inquiry, size_t offset, size_t width, const std::string& text)
{
    for (size_t i = 0; i < width; ++i) {
        inquiry[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : static_cast<uint8_t>(' ');
    }
}

// The kernel raises the INQUIRY version by one from SCSI-2 on, and to 2 for
// SCSI-1 with the common command set (response data format 1).
void PutVersion(std::vector<uint8_t>& inquiry, int scsiLevel)
{
    if (scsiLevel >= 3) {
        inquiry[2] = static_cast<uint8_t>(std::min(scsiLevel - 1, 0xFF));
        inquiry[3] = 0x02;
    } else if (scsiLevel == 2) {
        inquiry[2] = 0x01;
        inquiry[3] = 0x01;
    } else if (scsiLevel == 1) {
        inquiry[2] = 0x01;
    }
}

}  // namespace

int BusRank(const std::vector<ScsiHctl>& sgDevices, int host, int channel)
{
    std::set<std::pair<int, int>> channels;
    for (const auto& device : sgDevices) channels.emplace(device.host, device.channel);
    channels.emplace(host, channel);
    return static_cast<int>(std::distance(channels.begin(), channels.find({host, channel})));
}

std::vector<uint8_t> AdapterInquiryBytes(const SysfsScsiDevice& device)
{
    if (device.inquiry.size() >= kStandardInquiryLength) {
        return {device.inquiry.begin(), device.inquiry.begin() + kStandardInquiryLength};
    }
    std::vector<uint8_t> inquiry(kStandardInquiryLength, 0);
    inquiry[0] = static_cast<uint8_t>(device.type & 0x1F);  // peripheral qualifier 0: connected
    PutVersion(inquiry, device.scsiLevel);
    inquiry[4] = kStandardInquiryLength - 5;
    PutPadded(inquiry, 8, 8, device.vendor);
    PutPadded(inquiry, 16, 16, device.model);
    PutPadded(inquiry, 32, 4, device.revision);
    return inquiry;
}

AdapterList ReadHostAdapterList(const LinuxSysfs& sysfs, int host)
{
    const std::vector<ScsiHctl> sgDevices = sysfs.SgDevices();
    AdapterList list;
    int highestBus = -1;
    for (const auto& address : sgDevices) {
        if (address.host != host) continue;
        const int bus = BusRank(sgDevices, address.host, address.channel);
        if (bus > 0xFF || address.target > 0xFF || address.lun > 0xFF) continue;
        const auto device = sysfs.ReadDevice(address);
        if (!device) continue;

        AdapterListDevice entry;
        entry.pathId = static_cast<uint8_t>(bus);
        entry.targetId = static_cast<uint8_t>(address.target);
        entry.lun = static_cast<uint8_t>(address.lun);
        entry.claimed = device->claimed;
        entry.inquiry = AdapterInquiryBytes(*device);
        list.devices.push_back(std::move(entry));
        highestBus = std::max(highestBus, bus);
    }
    // Buses ranked below this host's belong to other adapters and stay empty.
    list.numberOfBuses = static_cast<uint8_t>(highestBus + 1);
    return list;
}
