#pragma once

#include <array>
#include <memory>
#include <vector>

#include "drives/device_entry.h"

inline constexpr int kDeviceSlots = 64;
inline constexpr int kControllerSlots = 4;

// Filled from slot 0 in discovery order, never compacted; lives for the
// whole process.
extern std::array<std::unique_ptr<DeviceEntry>, kDeviceSlots> g_devices;
// Indexed by bus number.
extern std::array<std::unique_ptr<DeviceEntry>, kControllerSlots> g_controllers;
// Walk cursor of FirstDevice / NextDevice; -1 at start.
extern int g_iCurrentDevice;

DeviceEntry* FirstDevice();
DeviceEntry* NextDevice();
DeviceEntry* DeviceAtCursor();
bool AnyDeviceSelected();
// The selected drives, in slot order.
std::vector<DeviceEntry*> SelectedDrives();

// Empties both tables and resets the cursor (a new process state, for tests
// and for front ends that scan another catalog).
void ClearDeviceTable();
