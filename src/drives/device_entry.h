#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

#include "scsi/inquiry_data.h"
#include "scsi/scsi_device.h"

inline constexpr uint8_t kControllerTargetId = 0xFF;

// Details of one self-test kind's last run.
struct DstOutcome {
    uint32_t failingLbaHigh = 0;
    uint32_t failingLbaLow = 0;
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint8_t fru = 0;
    uint32_t timeStamp = 0;
    time_t beginTime = 0;
    time_t endTime = 0;
    uint8_t ended = 0;
};

// Whatever shows an entry (the GUI's button); core code tells it from any
// thread that the entry's state changed.
class DeviceButtonSink {
public:
    virtual ~DeviceButtonSink() = default;
    virtual void RequestRepaint() = 0;
};

// One discovered drive, or one bus's controller.
struct DeviceEntry {
    // Self-test state.
    uint8_t dstQuickStatus = 0;
    uint8_t dstAdvStatus = 0;
    std::string dstQuickResult;
    std::string dstAdvResult;
    uint8_t dstType = 0;
    uint8_t dstMode = 0;
    DstOutcome dstQuick;
    DstOutcome dstAdvanced;

    char vendorId[9] = {};
    char productId[17] = {};
    char serialNumber[kSerialNumberSize] = {};  // standard INQUIRY bytes 36-43 or VPD page 80h
    uint8_t isMakerDrive = 0;
    uint64_t lastLba = 0;
    uint16_t blockLength = 0;
    uint8_t bus = 0;
    uint8_t targetId = 0;
    char revision[5] = {};

    // Capability flags from standard INQUIRY data, each 0 or 1.
    uint32_t SftRe = 0;    // byte 7 bit 0
    uint32_t CmdQue = 0;   // byte 7 bit 1
    uint32_t TranDis = 0;  // byte 7 bit 2
    uint32_t Linked = 0;   // byte 7 bit 3
    uint32_t Sync = 0;     // byte 7 bit 4
    uint32_t WBus16 = 0;   // byte 7 bit 5
    uint32_t WBus32 = 0;   // byte 7 bit 6
    uint32_t RelAdr = 0;   // byte 7 bit 7
    uint32_t ADDR16 = 0;   // byte 6 bit 0
    uint32_t ADDR32 = 0;   // byte 6 bit 1
    uint32_t AERC = 0;     // byte 3 bit 7
    uint32_t TrmIOP = 0;   // byte 3 bit 6

    bool isController = false;
    std::atomic<bool> selected{false};
    std::string path;
    DeviceHandle handle;
    // A self-test runs on the drive.
    std::atomic<bool> underTest{false};
    std::atomic<int> testState{-1};
    // The test worker runs its sequence on the drive now.
    std::atomic<bool> inSequence{false};
    // Runs that took the drive into their list and are not done with it:
    // its selection stays as it is until they are.
    std::atomic<int> runHolds{0};

    DeviceButtonSink* button = nullptr;

    void RequestRepaint() const
    {
        if (button) button->RequestRepaint();
    }
};

// What an entry shows, from the drive's state alone: under test while a test
// sequence or a self-test runs on it, otherwise selected or not; a
// controller is always a controller. Nothing stores it, so no path can leave
// a drive shown in a state it is not in.
enum class DeviceState { NotSelected, Selected, UnderTest, Controller };
DeviceState StateOf(const DeviceEntry& entry);

// The test worker starts (SetTestColour) or ends (SetIdleColour) its
// sequence on the drive; the button follows.
void SetIdleColour(DeviceEntry& entry);
void SetTestColour(DeviceEntry& entry);
// A self-test ends or starts on the drive.
void MarkDeviceIdle(DeviceEntry& entry);
void MarkDeviceUnderTest(DeviceEntry& entry);

// A run holds the drive or tests it: its selection must not change under it.
bool SelectionLocked(const DeviceEntry& entry);
// Selection toggled by a click on a drive's body, or set by the device
// information dialog. False, changing nothing, for a controller or when
// the change would take a drive from under a run (SelectionLocked).
bool SetDeviceSelected(DeviceEntry& entry, bool selected);
