#pragma once

#include <cstddef>
#include <iosfwd>

#include <nlohmann/json.hpp>

struct DeviceEntry;

// The list row and the inquiry read-out of one drive, as text and JSON.
nlohmann::json DriveListJson(const DeviceEntry& entry);
// The serial column is as wide as the longest serial of the table (serials
// from VPD page 80h are often longer than 8).
size_t SerialColumnWidth();
void PrintDriveListHeader(std::ostream& out, size_t serialWidth);
void PrintDriveListRow(std::ostream& out, const DeviceEntry& entry, size_t serialWidth);

nlohmann::json DeviceInfoJson(const DeviceEntry& entry);
void PrintDeviceInfo(std::ostream& out, const DeviceEntry& entry);
