#pragma once

#include <cstdint>
#include <string>

class OutputWindow;
struct DeviceEntry;

// The maker's vendor identification; a drive whose INQUIRY vendor field
// contains it counts as the maker's.
inline constexpr const char* kMakerVendorId = "MORVANE";

// Scratch record filled while one drive's identity is read.
struct DriveIdentity {
    uint32_t driveNumber = 0;
    std::string deviceName;          // used instead of the number when not empty
    std::string pathPrefix = "\\\\.\\";   // the catalog's: "\\.\" or "/dev/"
    std::string pathStem = "physicaldrive";  // the catalog's: "physicaldrive" or "sg"
    uint8_t isMakerDrive = 0;
    char vendorId[9] = {};
    char productId[17] = {};
    char revision[5] = {};
    char serialNumber[9] = {};
    uint64_t lastLba = 0;
    uint32_t blockLength = 0;
    DeviceEntry* entry = nullptr;
    OutputWindow* outputWindow = nullptr;
};

// Writes the identity's device path into buffer: prefix + stem + number, or
// prefix + deviceName. Returns the characters written, or -1 without writing
// when a device name does not fit.
int FormatDevicePath(const DriveIdentity& identity, char* buffer, size_t size);

// Writes the path to clog (with g_bLogToClog) and, unless quiet, to cout.
void ReportDevicePath(const DriveIdentity& identity, int quiet);
