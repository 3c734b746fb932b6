#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A SCSI device's place as the kernel names it, "host:channel:target:lun".
struct ScsiHctl {
    int host = 0;
    int channel = 0;
    int target = 0;
    uint64_t lun = 0;

    auto operator<=>(const ScsiHctl&) const = default;
};

std::optional<ScsiHctl> ParseHctl(std::string_view name);
std::string FormatHctl(const ScsiHctl& address);

// What sysfs shows of one SCSI device.
struct SysfsScsiDevice {
    ScsiHctl address;
    int type = 0;            // peripheral device type
    int scsiLevel = 0;       // the kernel's level: the INQUIRY version plus one from SCSI-2 on
    std::string vendor;      // as the kernel shows them, without the line end
    std::string model;
    std::string revision;
    std::vector<uint8_t> inquiry;  // the INQUIRY reply the kernel kept; empty on kernels without it
    bool claimed = false;          // an upper-level driver is bound
};

// Limits of a device's block queue.
struct SysfsQueueLimits {
    uint64_t maxHwSectorsKb = 0;
    uint64_t maxSegments = 0;
    std::optional<uint64_t> dmaAlignment;  // older kernels do not show it
};

// A block device as sysfs shows it, by its name ("sda").
struct SysfsBlockDevice {
    bool exists = false;
    std::string partitionOf;          // the disk's name when this is a partition of it
    bool scsi = false;                // a SCSI device lies underneath
    std::optional<uint32_t> sgNumber;  // that device's sg node
};

// The identifying attributes the kernel read from a SCSI device when it
// found it: nothing in a field the kernel does not show.
struct SysfsIdentifiers {
    std::string wwid;                 // the kernel's chosen name, "naa.…", "eui.…", "t10.…"
    std::vector<uint8_t> serialPage;  // VPD page 80h as the drive sent it
    std::vector<uint8_t> idPage;      // VPD page 83h
    std::vector<uint8_t> inquiry;     // standard INQUIRY data
};

// Read-only view of a sysfs tree; the root is a parameter so tests can use a
// fake tree.
class LinuxSysfs {
public:
    explicit LinuxSysfs(std::string root);

    const std::string& Root() const { return root_; }

    // Devices that have an sg node, in host, channel, target, lun order.
    std::vector<ScsiHctl> SgDevices() const;

    // Nothing when the device is not in the tree or its type is unreadable.
    std::optional<SysfsScsiDevice> ReadDevice(const ScsiHctl& address) const;

    // Nothing when the device has no block device (or its queue is unreadable).
    std::optional<SysfsQueueLimits> ReadQueueLimits(const ScsiHctl& address) const;

    SysfsBlockDevice ReadBlockDevice(const std::string& name) const;

    // The attributes of the device behind /dev/sgN; nothing when the sg
    // node is not in the tree.
    std::optional<SysfsIdentifiers> ReadIdentifiers(uint32_t sgNumber) const;

private:
    std::string DeviceDir(const ScsiHctl& address) const;

    std::string root_;
};
