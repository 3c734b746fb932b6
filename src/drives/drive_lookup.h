#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/device_catalog.h"

// Why a name leads to no drive.
enum class LookupFailure {
    None,
    CannotReach,  // no such device or drive, not ours to open, not a drive at all
    NotListed,    // it opens, but is not a drive the catalog lists
    Ambiguous,    // the name fits more than one drive
};

struct DriveLookup {
    std::optional<uint32_t> driveNumber;
    LookupFailure failure = LookupFailure::None;
    std::string message;  // why not, for the user
};

// The drive a user names: its number alone ("2"), a device path (the
// catalog's own or any other it knows, such as /dev/sdb or a
// /dev/disk/by-id link), a world wide name ("naa.5000c500a1b2c3d4",
// "0x5000c500a1b2c3d4", "eui.…") or a serial number. A number no drive has
// is taken as a serial number. A drive's number or a path opens nothing. A world wide name or serial is first sought in what the
// catalog knows without opening a drive; only when that finds none are the
// drives it knows nothing of opened and asked.
DriveLookup LookUpDrive(DeviceCatalog& catalog, const std::string& name);

// What an open drive says of its names: the unit serial number and device
// identification pages, and standard INQUIRY bytes 36-43.
DriveIdentifiers AskDriveIdentifiers(DeviceHandle* handle);
