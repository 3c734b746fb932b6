#pragma once

#include <memory>
#include <string>

#include "platform/device_catalog.h"

// The machine's SCSI devices as sg nodes, "/dev/sg%d".
class LinuxCatalog : public DeviceCatalog {
public:
    explicit LinuxCatalog(std::string sysfsRoot = "/sys");

    std::string PathPrefix() const override;
    std::string PathStem() const override;
    // The sg devices sysfs lists under class/scsi_generic.
    std::vector<uint32_t> DriveNumbers() const override;

    // Opens read/write and non-blocking: SG_IO waits for its command
    // regardless, and a device held exclusively elsewhere must not stall
    // discovery. EACCES when the user may not use the device, ENOTTY when the
    // path is not an sg device.
    DeviceHandle Open(const std::string& path, int& errorCode) override;

private:
    std::string sysfsRoot_;
};

// The machine's real drives: "/dev/sg%d" through SG_IO.
std::unique_ptr<DeviceCatalog> MakeLinuxCatalog();
