#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/device_catalog.h"
#include "sim/sim_device.h"

struct Bench;
class SimDisk;

// The simulated bench's drives as "\\.\physicaldriveN": paths that can never
// name a real device of this machine.
class SimCatalog final : public DeviceCatalog {
public:
    explicit SimCatalog(const Bench& bench);

    std::string PathPrefix() const override { return "\\\\.\\"; }
    std::string PathStem() const override { return "physicaldrive"; }
    std::vector<uint32_t> DriveNumbers() const override;
    // Null with ENOENT for a path that names no drive of the bench.
    DeviceHandle Open(const std::string& path, int& errorCode) override;

    // The drive behind a number, for tests to inject faults and look at
    // its state; null when the bench has no such drive.
    SimDisk* Disk(uint32_t driveNumber) const;
    size_t DriveCount() const { return drives_.size(); }

private:
    struct Drive {
        std::shared_ptr<SimDisk> disk;
        int adapterListError = 0;
        int capabilitiesError = 0;
    };
    std::shared_ptr<SimAdapter> adapter_;
    std::map<uint32_t, Drive> drives_;
};

// The simulated test bench: the built-in default when benchFile is empty,
// otherwise the JSON bench file. Null with a message naming the file, the
// line and what is wrong when the file cannot be used.
std::unique_ptr<DeviceCatalog> MakeBenchCatalog(const std::string& benchFile, std::string& error);

// A bench given as JSON text (tests, and the built-in default).
std::unique_ptr<DeviceCatalog> MakeBenchCatalogFromJson(const std::string& json, std::string& error);
