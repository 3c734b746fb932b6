#pragma once

#include <cstddef>
#include <iosfwd>

#include "cli/json_output.h"

class DeviceCatalog;
struct DeviceEntry;

// The list row and the inquiry read-out of one drive, as text and JSON.
// The list row's object is the drive's object wherever a command names one.
Json DriveJson(const DeviceCatalog& catalog, const DeviceEntry& entry);
// The serial column is as wide as the longest serial of the table (serials
// from VPD page 80h are often longer than 8).
size_t SerialColumnWidth();
void PrintDriveListHeader(std::ostream& out, size_t serialWidth);
void PrintDriveListRow(std::ostream& out, const DeviceEntry& entry, size_t serialWidth);

// The drive's object, whether it is the maker's, and its capability flags.
Json DeviceInfoJson(const DeviceCatalog& catalog, const DeviceEntry& entry);
void PrintDeviceInfo(std::ostream& out, const DeviceEntry& entry);
