#pragma once

#include <cstdint>
#include <string>

#include "platform/device_catalog.h"

inline constexpr int kScanEnded = 0;          // next drive could not be opened, or a bus above 3
inline constexpr int kScanPathTooLong = 3;    // a device path would exceed 40 characters
inline constexpr int kMaxDevicePath = 40;

// Discovery: opens the catalog's drives 0, 1, 2, ... until one cannot be
// opened, places each on its bus and target id, checks it is a disk, reads
// identity and capacity and fills g_devices and g_controllers. Traces on
// cout and clog.
int ScanScsiDevices(DeviceCatalog& catalog);

// Adapter list, identity check and capabilities of one open drive.
bool ProbeDrive(const DeviceCatalog& catalog, uint32_t driveNumber, const std::string& path, DeviceHandle* handle,
                uint8_t* bus, uint8_t* targetId);

// Prints the adapter list and chooses the entry for drive driveNumber;
// returns the chosen entry's additional-length byte, 0 when there is none.
uint8_t WalkInquiryData(const uint8_t* buffer, size_t size, uint32_t driveNumber, uint8_t* bus, uint8_t* targetId);

// Prints the system's text for an errno-style code.
void PrintSystemError(int errorCode);
