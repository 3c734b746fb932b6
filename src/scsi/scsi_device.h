#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ScsiRequest;

// Where a device sits: the host adapter, the bus (channel) numbered for the
// view's columns, target id and LUN.
struct ScsiAddress {
    int host = 0;
    int bus = 0;
    int targetId = 0;
    int lun = 0;
};

// What the host adapter allows, traced at discovery; each platform fills
// what it can tell.
struct AdapterCapabilities {
    uint32_t length = 24;
    uint32_t maximumTransferLength = 0;
    uint32_t maximumPhysicalPages = 0;
    uint32_t supportedAsynchronousEvents = 0;
    uint32_t alignmentMask = 0;
    uint8_t taggedQueuing = 0;
    uint8_t adapterScansDown = 0;
    uint8_t adapterUsesPio = 0;
};

// One open drive. Execute is the only way a command reaches it.
class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;

    // Delivers request.Cdb (CdbLength bytes) with the data phase given by
    // DataIn, DataTransferLength and DataBuffer, waiting at most TimeOutValue
    // seconds. Returns false when the command could not be delivered or the
    // host adapter / driver reported an error; ScsiStatus then stays 0.
    // Otherwise sets ScsiStatus and, after CHECK CONDITION, up to
    // SenseInfoLength bytes of fixed-format sense in SenseData.
    virtual bool Execute(ScsiRequest& request) = 0;

    // The adapter's list of devices, in the layout of
    // platform/adapter_list.h. False with an errno-style code when the
    // platform cannot tell.
    virtual bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) = 0;

    // False when the platform has no direct way to tell a device's address;
    // discovery then takes it from the adapter list.
    virtual bool QueryAddress(ScsiAddress& address) = 0;

    virtual bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) = 0;
};

// The device handle the table keeps for each drive; a null handle makes
// every command a failed call.
using DeviceHandle = std::shared_ptr<ScsiDevice>;
