#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scsi/scsi_device.h"

class SimDisk;

// The simulated adapter as its device list shows it.
struct SimAdapterEntry {
    uint8_t bus = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    bool claimed = true;
    std::shared_ptr<SimDisk> disk;
};

struct SimAdapter {
    uint8_t buses = 1;
    AdapterCapabilities capabilities;
    std::vector<SimAdapterEntry> listed;  // bench order
};

// A handle on one simulated drive. Every handle of a drive reaches the same
// SimDisk, so state set through one is seen through the others.
class SimScsiDevice final : public ScsiDevice {
public:
    SimScsiDevice(std::shared_ptr<SimDisk> disk, std::shared_ptr<const SimAdapter> adapter, int adapterListError,
                  int capabilitiesError);

    bool Execute(ScsiRequest& request) override;
    bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override;
    // Always false: the bench places its drives through the adapter's
    // list alone, which keeps that path of discovery tested.
    bool QueryAddress(ScsiAddress& address) override;
    bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override;

private:
    std::shared_ptr<SimDisk> disk_;
    std::shared_ptr<const SimAdapter> adapter_;
    int adapterListError_;
    int capabilitiesError_;
};
