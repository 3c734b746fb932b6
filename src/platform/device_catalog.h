#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scsi/scsi_device.h"

// Where a device path leads: the listed drive it names, or why it names
// none. Neither a number nor a reason: the path is nothing the catalog
// knows, and opening it is what tells.
struct PathLookup {
    std::optional<uint32_t> driveNumber;
    int errorCode = 0;   // errno-style, when the path itself cannot be followed
    std::string reason;  // what the path names instead of a drive, in words
};

// The names a drive answers to besides its path.
struct DriveIdentifiers {
    std::vector<std::string> serials;         // unit serial number page, standard INQUIRY bytes 36-43
    std::vector<std::string> worldWideNames;  // as DecodeLogicalUnitNames gives them
};

// The drives a machine (or a simulated bench) offers, by drive number.
class DeviceCatalog {
public:
    virtual ~DeviceCatalog() = default;

    // What every path starts with ("/dev/" or "\\.\") and what follows it
    // before the drive number ("sg" or "physicaldrive").
    virtual std::string PathPrefix() const = 0;
    virtual std::string PathStem() const = 0;

    // The drive numbers the system lists now, ascending. Numbers need not
    // be consecutive: a removed device leaves a gap that later ones do not
    // fill.
    virtual std::vector<uint32_t> DriveNumbers() const = 0;

    // Opens a device path; null with an errno-style code when it cannot be
    // opened.
    virtual DeviceHandle Open(const std::string& path, int& errorCode) = 0;

    // The drive a device path names, by its own path or any other the
    // system gives the same drive, without opening anything.
    // Here: the catalog's own paths of listed drives, prefix and stem in any
    // case as users write them.
    virtual PathLookup FindPath(const std::string& path) const;

    // What the system already knows of a listed drive's serial number and
    // world wide names, so that finding a drive by them need not open every
    // drive; nothing when only the drive can tell.
    virtual std::optional<DriveIdentifiers> KnownIdentifiers(uint32_t /*driveNumber*/) const { return std::nullopt; }

    // The drive number of one of the catalog's own paths (prefix, stem and
    // the number as "%d" writes it), listed or not.
    std::optional<uint32_t> DriveNumberOfPath(const std::string& path) const;
    std::string PathOf(uint32_t driveNumber) const;
};
