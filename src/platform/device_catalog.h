#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scsi/scsi_device.h"

// The drives a machine (or a simulated bench) offers, by drive number.
class DeviceCatalog {
public:
    virtual ~DeviceCatalog() = default;

    // What every path starts with ("/dev/" or "\\.\") and what follows it
    // before the drive number ("sg" or "physicaldrive").
    virtual std::string PathPrefix() const = 0;
    virtual std::string PathStem() const = 0;

    // The drive numbers the system lists now, ascending. Numbers need not
    // be consecutive: a removed device leaves a gap that later ones do not
    // fill.
    virtual std::vector<uint32_t> DriveNumbers() const = 0;

    // Opens a device path; null with an errno-style code when it cannot be
    // opened.
    virtual DeviceHandle Open(const std::string& path, int& errorCode) = 0;
};
