#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/json_output.h"
#include "platform/device_catalog.h"

struct DeviceEntry;

inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceFailure = 1;
inline constexpr int kExitUsage = 2;
// A named drive (or, when nothing was found, every listed one) could not be
// opened: no such device, no permission, or not a SCSI generic device.
inline constexpr int kExitCannotOpen = 3;

// What every command shares: the global options, the catalog, the
// discovered drives and what the command has to say in JSON.
struct CliContext {
    std::optional<std::string> benchFile;  // set: simulated bench ("" = built-in)
    bool trace = false;
    bool json = false;
    std::unique_ptr<DeviceCatalog> catalog;
    std::unique_ptr<Console> console;
    // The command's own keys of the JSON document, after the envelope's.
    Json result = Json::object();

    // Opens the catalog and discovers every drive it lists. Returns kExitOk,
    // or an exit status after saying why not.
    int DiscoverAll();
    // Opens the catalog, finds the named drives (any name LookUpDrive
    // takes) and discovers them alone: no other drive is opened. `drives`
    // gets them in the order named, each once. Returns kExitOk, or the exit
    // status of the first name that leads to no drive, after saying why:
    // kExitCannotOpen when there is no such drive or it cannot be opened,
    // kExitDeviceFailure when it opens but is not a drive discovery takes,
    // kExitUsage when the name fits more than one drive.
    int DiscoverNamed(const std::vector<std::string>& names, std::vector<DeviceEntry*>& drives);

private:
    int OpenCatalog();
};

// A drive's number in its catalog's paths (2 for /dev/sg2).
std::optional<uint32_t> DriveNumberOf(const DeviceCatalog& catalog, const DeviceEntry& entry);
