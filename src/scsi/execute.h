#pragma once

#include <cstdint>

#include "scsi/scsi_device.h"
#include "scsi/scsi_request.h"

// The one place a command reaches a drive. Returns 1 when the command
// completed with status GOOD, 0 otherwise; report == 1 writes a failure
// report to clog. On the test worker thread a pending stop (outside a
// no-abort step) is taken here: the command is not sent and WorkerStopped
// is thrown.
int ExecuteScsiRequest(ScsiRequest& request, DeviceHandle* handle, uint8_t direction, int report);

// Hex dump of sense bytes to clog.
void DumpSenseData(int count, const uint8_t* bytes);
