#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drives/device_table.h"
#include "drives/scan.h"
#include "sim/sim_catalog.h"
#include "support/stream_capture.h"

// A bench given as JSON, scanned into an empty device table.
class BenchFixture : public ::testing::Test {
protected:
    void TearDown() override { ClearDeviceTable(); }

    void Load(const std::string& json)
    {
        ClearDeviceTable();
        std::string error;
        catalog = MakeBenchCatalogFromJson(json, error);
        ASSERT_TRUE(catalog) << error;
    }
    int Scan() { return ScanScsiDevices(*catalog); }
    SimCatalog& Sim() { return static_cast<SimCatalog&>(*catalog); }

    // What discovery and the commands report goes here, not into the test log.
    StreamCapture quiet;
    std::unique_ptr<DeviceCatalog> catalog;
};

// One bench device entry, JSON text.
inline std::string Disk(int bus, int target, const std::string& vendor = "MORVANE", const std::string& extra = "")
{
    return "{\"bus\": " + std::to_string(bus) + ", \"targetId\": " + std::to_string(target) + ", \"vendor\": \"" +
           vendor + "\", \"product\": \"MVX-" + std::to_string(bus) + std::to_string(target) +
           "\", \"revision\": \"0100\", \"serial\": \"SN" + std::to_string(bus * 100 + target) +
           "\", \"blocks\": 1001, \"blockLength\": 512" + (extra.empty() ? "" : ", " + extra) + "}";
}

inline std::string Bench(int buses, const std::string& devices)
{
    return "{\"buses\": " + std::to_string(buses) + ", \"devices\": [" + devices + "]}";
}
