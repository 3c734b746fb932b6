#pragma once

#include "scsi/scsi_device.h"

struct DeviceEntry;

// The drive on which the open mode page sheet (or SMART sheet) works; it
// stays set after the sheet closes. Every mode page read and write goes to
// the handle this entry holds.
extern DeviceEntry* g_pSheetDevice;

// The handle of g_pSheetDevice; null when there is none or it is not open.
DeviceHandle* SheetDeviceHandle();

// Whether g_pSheetDevice is set and its handle open.
bool SheetDeviceOpen();
