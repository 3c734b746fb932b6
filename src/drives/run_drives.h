#pragma once

#include <vector>

struct DeviceEntry;

// The drives one run works on, taken from the device table when the run
// starts. The run owns this list: what the user selects afterwards does not
// change it, and every drive in it is held, so its selection cannot change
// under the run, until the run is done with the drive or ends.
class RunDrives {
public:
    RunDrives() = default;
    explicit RunDrives(std::vector<DeviceEntry*> drives);
    // The drives selected now.
    static RunDrives Selected();
    // Lets go of every drive the run still holds.
    ~RunDrives();
    RunDrives(RunDrives&& other) noexcept;
    RunDrives& operator=(RunDrives&& other) noexcept;
    RunDrives(const RunDrives&) = delete;
    RunDrives& operator=(const RunDrives&) = delete;

    const std::vector<DeviceEntry*>& Drives() const { return drives; }
    // The run's sequence starts on the drive: it is under test.
    void Begin(DeviceEntry& entry);
    // The run is done with the drive: no longer under test, free again.
    void Finish(DeviceEntry& entry);

private:
    void ReleaseAll();

    std::vector<DeviceEntry*> drives;
    std::vector<DeviceEntry*> held;
};
