#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/linux_sysfs.h"
#include "scsi/scsi_device.h"

// The adapter's capabilities from what Linux exposes: the sg driver's
// reserved buffer size and scatter-gather table size, replaced by the block
// queue's limits when the device has a block device.
AdapterCapabilities LinuxCapabilities(int reservedSize, int tableSize, const std::optional<SysfsQueueLimits>& limits);

// A drive reached through an open /dev/sgN with SG_IO. Owns the descriptor.
class LinuxSgDevice : public ScsiDevice {
public:
    // fd: an open sg device; sysfsRoot: where sysfs is mounted ("/sys").
    LinuxSgDevice(int fd, std::string sysfsRoot);
    ~LinuxSgDevice() override;

    LinuxSgDevice(const LinuxSgDevice&) = delete;
    LinuxSgDevice& operator=(const LinuxSgDevice&) = delete;

    bool Execute(ScsiRequest& request) override;
    bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override;
    bool QueryAddress(ScsiAddress& address) override;
    bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override;

private:
    bool QueryHctl(ScsiHctl& address, int& errorCode) const;

    int fd_;
    LinuxSysfs sysfs_;
    unsigned reserveAsked_ = 0;  // the largest reserved buffer asked for so far
};
