#pragma once

#include <string>
#include <vector>

#include "platform/device_catalog.h"

// Another catalog as it is, noting every path opened through it.
class CountingCatalog : public DeviceCatalog {
public:
    explicit CountingCatalog(DeviceCatalog& inner) : inner_(inner) {}

    std::string PathPrefix() const override { return inner_.PathPrefix(); }
    std::string PathStem() const override { return inner_.PathStem(); }
    std::vector<uint32_t> DriveNumbers() const override { return inner_.DriveNumbers(); }
    DeviceHandle Open(const std::string& path, int& errorCode) override
    {
        opened.push_back(path);
        return inner_.Open(path, errorCode);
    }
    PathLookup FindPath(const std::string& path) const override { return inner_.FindPath(path); }
    std::optional<DriveIdentifiers> KnownIdentifiers(uint32_t driveNumber) const override
    {
        return inner_.KnownIdentifiers(driveNumber);
    }

    std::vector<std::string> opened;

private:
    DeviceCatalog& inner_;
};
