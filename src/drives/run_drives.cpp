#include "drives/run_drives.h"

#include <algorithm>
#include <utility>

#include "drives/device_entry.h"
#include "drives/device_table.h"

RunDrives::RunDrives(std::vector<DeviceEntry*> drives) : drives(std::move(drives)), held(this->drives)
{
    for (DeviceEntry* entry : held) ++entry->runHolds;
}

RunDrives RunDrives::Selected() { return RunDrives(SelectedDrives()); }

RunDrives::~RunDrives() { ReleaseAll(); }

RunDrives::RunDrives(RunDrives&& other) noexcept
    : drives(std::move(other.drives)), held(std::exchange(other.held, {}))
{
}

RunDrives& RunDrives::operator=(RunDrives&& other) noexcept
{
    if (this != &other) {
        ReleaseAll();
        drives = std::move(other.drives);
        held = std::exchange(other.held, {});
    }
    return *this;
}

void RunDrives::Begin(DeviceEntry& entry) { SetTestColour(entry); }

void RunDrives::Finish(DeviceEntry& entry)
{
    SetIdleColour(entry);
    const auto at = std::find(held.begin(), held.end(), &entry);
    if (at == held.end()) return;
    held.erase(at);
    --entry.runHolds;
    entry.RequestRepaint();
}

void RunDrives::ReleaseAll()
{
    // A run that ends early (a stop, a drive that cannot be opened) leaves
    // no drive under test or held.
    for (DeviceEntry* entry : held) {
        if (entry->inSequence) SetIdleColour(*entry);
        --entry->runHolds;
        entry->RequestRepaint();
    }
    held.clear();
}
