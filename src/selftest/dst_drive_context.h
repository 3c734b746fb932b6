#pragma once

#include <cstdint>
#include <string>

class OutputWindow;
struct DeviceEntry;

// What the self-test reports need about the drive being worked on. The
// drive's open handle is passed separately, as its entry's handle.
struct DstDriveContext {
    std::string path;            // the entry's device path
    uint32_t driveNumber = 0;    // used only when there is no path
    DeviceEntry* entry = nullptr;
    OutputWindow* output = nullptr;  // may be none: console streams only
    std::string pathPrefix;      // the catalog's ("\\.\" or "/dev/"), left out where a report names the drive
};

DstDriveContext MakeDstDriveContext(DeviceEntry& entry, OutputWindow* output, const std::string& pathPrefix);

// The device path as reports name it: without the catalog's prefix.
std::string PathWithoutPrefix(const std::string& path, const std::string& pathPrefix);
