#include "shell/device_entry.h"

namespace {

void Paint(DeviceEntry& entry, uint32_t colour)
{
    entry.baseColour = colour;
    entry.faceColour = colour;
    entry.RequestRepaint();
}

}  // namespace

void SetIdleColour(DeviceEntry& entry) { Paint(entry, kColourSelected); }

void SetTestColour(DeviceEntry& entry) { Paint(entry, kColourUnderTest); }

void MarkDeviceIdle(DeviceEntry& entry)
{
    SetIdleColour(entry);
    entry.testState = -1;
    entry.underTest = false;
}

void MarkDeviceUnderTest(DeviceEntry& entry)
{
    SetTestColour(entry);
    entry.underTest = true;
    entry.testState = 0;
}

void SetDeviceSelected(DeviceEntry& entry, bool selected)
{
    if (entry.isController) return;
    entry.selected = selected;
    Paint(entry, selected ? kColourSelected : kColourNotSelected);
}
