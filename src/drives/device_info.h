#pragma once

#include <string>
#include <vector>

struct DeviceEntry;

// What the Device Information dialog shows for an entry, shared by the
// dialog and the command line.
struct DeviceInfoText {
    int controlId;
    const char* label;
    std::string value;
};

struct DeviceInfoFlag {
    int controlId;
    const char* label;
    const char* key;  // the flag's name in machine-readable output
    bool value;
};

struct DeviceInfoValues {
    std::vector<DeviceInfoText> texts;  // serial, vendor, product, revision, capacity, block size, SCSI id, bus
    std::vector<DeviceInfoFlag> flags;  // the twelve capability flags, in the dialog's order
    std::string path;
    bool selected = false;
};

inline constexpr const char* kMakerVendorName = "Morvane";
inline constexpr const char* kOtherVendorName = "Other";
inline constexpr int kDevicePathControlId = 1120;
inline constexpr int kSelectedForTestControlId = 1039;

DeviceInfoValues ReadDeviceInfoValues(const DeviceEntry& entry);

// The drive a window works on, as its title names it: path, vendor and
// product identification, serial number.
std::string DriveTitle(const DeviceEntry& entry);
