#pragma once

#include <cstdint>
#include <vector>

#include "scsi/scsi_device.h"
#include "sim/sim_drive_config.h"

// One device on the simulated bench: where it sits, how the adapter lists
// it, and the drive itself.
struct BenchDevice {
    uint32_t driveNumber = 0;  // N of "\\.\physicaldriveN"
    uint8_t bus = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    bool inAdapterList = true;
    bool claimed = true;
    // errno-style codes with which the adapter queries on this drive's
    // handle fail; 0 when they work.
    int adapterListError = 0;
    int capabilitiesError = 0;
    SimDriveConfig drive;
};

// A whole bench: one host adapter with its buses and devices.
struct Bench {
    uint8_t buses = 1;
    AdapterCapabilities capabilities;
    std::vector<BenchDevice> devices;  // in file order
};
