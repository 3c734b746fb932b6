#include "drives/device_table.h"

std::array<std::unique_ptr<DeviceEntry>, kDeviceSlots> g_devices;
std::array<std::unique_ptr<DeviceEntry>, kControllerSlots> g_controllers;
int g_iCurrentDevice = -1;

DeviceEntry* FirstDevice()
{
    g_iCurrentDevice = -1;
    return NextDevice();
}

DeviceEntry* NextDevice()
{
    const int start = g_iCurrentDevice < 0 ? 0 : g_iCurrentDevice + 1;
    for (int slot = start; slot < kDeviceSlots; ++slot) {
        if (g_devices[static_cast<size_t>(slot)]) {
            g_iCurrentDevice = slot;
            return g_devices[static_cast<size_t>(slot)].get();
        }
    }
    return nullptr;
}

DeviceEntry* DeviceAtCursor()
{
    if (g_iCurrentDevice < 0 || g_iCurrentDevice >= kDeviceSlots) return nullptr;
    return g_devices[static_cast<size_t>(g_iCurrentDevice)].get();
}

bool AnyDeviceSelected()
{
    for (const auto& entry : g_devices)
        if (entry && entry->selected) return true;
    return false;
}

std::vector<DeviceEntry*> SelectedDrives()
{
    std::vector<DeviceEntry*> selected;
    for (const auto& entry : g_devices)
        if (entry && !entry->isController && entry->selected) selected.push_back(entry.get());
    return selected;
}

void ClearDeviceTable()
{
    for (auto& entry : g_devices) entry.reset();
    for (auto& entry : g_controllers) entry.reset();
    g_iCurrentDevice = -1;
}
