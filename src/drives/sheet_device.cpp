#include "drives/sheet_device.h"

#include "drives/device_entry.h"

DeviceEntry* g_pSheetDevice = nullptr;

DeviceHandle* SheetDeviceHandle()
{
    if (g_pSheetDevice == nullptr || !g_pSheetDevice->handle) return nullptr;
    return &g_pSheetDevice->handle;
}

bool SheetDeviceOpen() { return SheetDeviceHandle() != nullptr; }
