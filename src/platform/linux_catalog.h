#pragma once

#include <memory>
#include <string>

#include "platform/device_catalog.h"

// The machine's SCSI devices as sg nodes, "/dev/sg%d".
class LinuxCatalog : public DeviceCatalog {
public:
    // Where sysfs is mounted and where the device nodes are; tests give a
    // tree of their own.
    explicit LinuxCatalog(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    std::string PathPrefix() const override;
    std::string PathStem() const override;
    // The sg devices sysfs lists under class/scsi_generic.
    std::vector<uint32_t> DriveNumbers() const override;

    // Opens read/write and non-blocking: SG_IO waits for its command
    // regardless, and a device held exclusively elsewhere must not stall
    // discovery. EACCES when the user may not use the device, ENOTTY when the
    // path is not an sg device.
    DeviceHandle Open(const std::string& path, int& errorCode) override;

    // Links (/dev/disk/by-id, by-path) are followed; a disk's block device
    // (/dev/sdX) leads to its sg node through sysfs.
    PathLookup FindPath(const std::string& path) const override;
    // From the attributes the kernel keeps: wwid, VPD pages 80h and 83h,
    // the standard INQUIRY data. Nothing when the kernel read no VPD page.
    std::optional<DriveIdentifiers> KnownIdentifiers(uint32_t driveNumber) const override;

private:
    std::string sysfsRoot_;
    std::string devRoot_;
};

// The machine's real drives: "/dev/sg%d" through SG_IO.
std::unique_ptr<DeviceCatalog> MakeLinuxCatalog();
