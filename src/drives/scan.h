#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_catalog.h"

inline constexpr int kScanEnded = 0;          // every listed drive was tried, or a bus above 3
inline constexpr int kScanPathTooLong = 3;    // a device path would exceed 40 characters
inline constexpr int kMaxDevicePath = 40;

// Discovery: opens the drives the catalog lists, in number order, places
// each on its bus and target id, checks it is a disk, reads identity and
// capacity and fills g_devices and g_controllers. Traces on cout and clog.
int ScanScsiDevices(DeviceCatalog& catalog);
// The same for the listed drives among driveNumbers alone: no other drive
// is opened, and each keeps the bus and target id the whole scan gives it.
int ScanDrives(DeviceCatalog& catalog, const std::vector<uint32_t>& driveNumbers);

// Adapter list, identity check and capabilities of one open drive; position
// is its place among the listed drives, which is its entry in the adapter's
// list.
bool ProbeDrive(const DeviceCatalog& catalog, uint32_t driveNumber, uint32_t position, DeviceHandle* handle,
                uint8_t* bus, uint8_t* targetId);

// Prints the adapter list and chooses the entry at position (counted over
// every bus); returns the chosen entry's additional-length byte, 0 when there
// is none.
uint8_t WalkInquiryData(const uint8_t* buffer, size_t size, uint32_t position, uint8_t* bus, uint8_t* targetId);

// Prints the system's text for an errno-style code.
void PrintSystemError(int errorCode);
