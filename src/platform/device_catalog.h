#pragma once

#include <string>

#include "platform/scsi_device.h"

// The drives a machine (or a simulated bench) offers, by drive number.
class DeviceCatalog {
public:
    virtual ~DeviceCatalog() = default;

    // What every path starts with ("/dev/" or "\\.\") and what follows it
    // before the drive number ("sg" or "physicaldrive").
    virtual std::string PathPrefix() const = 0;
    virtual std::string PathStem() const = 0;

    // Opens a device path; null with an errno-style code when it cannot be
    // opened, which ends a discovery scan.
    virtual DeviceHandle Open(const std::string& path, int& errorCode) = 0;
};
