#include "drives/device_entry.h"

DeviceState StateOf(const DeviceEntry& entry)
{
    if (entry.isController) return DeviceState::Controller;
    if (entry.inSequence || entry.underTest) return DeviceState::UnderTest;
    return entry.selected ? DeviceState::Selected : DeviceState::NotSelected;
}

void SetIdleColour(DeviceEntry& entry)
{
    entry.inSequence = false;
    entry.RequestRepaint();
}

void SetTestColour(DeviceEntry& entry)
{
    entry.inSequence = true;
    entry.RequestRepaint();
}

void MarkDeviceIdle(DeviceEntry& entry)
{
    entry.testState = -1;
    entry.underTest = false;
    entry.RequestRepaint();
}

void MarkDeviceUnderTest(DeviceEntry& entry)
{
    entry.underTest = true;
    entry.testState = 0;
    entry.RequestRepaint();
}

bool SelectionLocked(const DeviceEntry& entry) { return entry.runHolds > 0 || entry.inSequence || entry.underTest; }

bool SetDeviceSelected(DeviceEntry& entry, bool selected)
{
    if (entry.isController) return false;
    if (entry.selected == selected) return true;
    if (SelectionLocked(entry)) return false;
    entry.selected = selected;
    entry.RequestRepaint();
    return true;
}
