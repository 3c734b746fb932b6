#pragma once

#include <iosfwd>

#include <nlohmann/json.hpp>

struct DeviceEntry;

// The list row and the inquiry read-out of one drive, as text and JSON.
nlohmann::json DriveListJson(const DeviceEntry& entry);
void PrintDriveListHeader(std::ostream& out);
void PrintDriveListRow(std::ostream& out, const DeviceEntry& entry);

nlohmann::json DeviceInfoJson(const DeviceEntry& entry);
void PrintDeviceInfo(std::ostream& out, const DeviceEntry& entry);
