#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/console.h"
#include "platform/device_catalog.h"

struct DeviceEntry;

inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceFailure = 1;
inline constexpr int kExitUsage = 2;
// A named drive (or, when nothing was found, every listed one) could not be
// opened: no such device, no permission, or not a SCSI generic device.
inline constexpr int kExitCannotOpen = 3;

// What every command shares: the global options, the catalog and the
// discovered drives.
struct CliContext {
    std::optional<std::string> benchFile;  // set: simulated bench ("" = built-in)
    bool trace = false;
    bool json = false;
    std::unique_ptr<DeviceCatalog> catalog;
    std::unique_ptr<Console> console;

    // Opens the catalog and runs discovery. Returns kExitOk, or an exit code
    // after printing why not.
    int Discover();
    // A drive by device path or drive number; null (with a message) when
    // discovery did not find it, and `status` says why: kExitCannotOpen when
    // the device cannot be opened at all, kExitDeviceFailure when it opens
    // but is not among the drives discovery took.
    DeviceEntry* FindDrive(const std::string& drive, int& status);
};
