#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/bench_fixture.h"
#include "support/case_file.h"
#include "support/counting_catalog.h"
#include "support/stream_capture.h"

namespace {

using ScanTest = BenchFixture;

std::vector<DeviceEntry*> Drives()
{
    std::vector<DeviceEntry*> drives;
    for (DeviceEntry* entry = FirstDevice(); entry != nullptr; entry = NextDevice()) drives.push_back(entry);
    return drives;
}

// One bench device of a discovery.txt line: "bus:target [VENDOR] [fields]".
std::string TableDisk(const std::string& text)
{
    std::istringstream in(text);
    std::string address, vendor = "MORVANE";
    in >> address >> std::ws;
    if (std::isupper(in.peek())) in >> vendor;
    std::string fields((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t colon = address.find(':');
    return Disk(std::stoi(address.substr(0, colon)), std::stoi(address.substr(colon + 1)), vendor, fields);
}

TEST_F(ScanTest, BenchesAsDiscoveryFindsThem)
{
    for (const CaseLine& c : ReadCaseFile("drives/discovery.txt")) {
        SCOPED_TRACE(CaseTrace("discovery.txt", c));
        std::string devices;
        std::istringstream items(c[1]);
        for (std::string item; std::getline(items, item, ';');)
            devices += (devices.empty() ? "" : ",") + TableDisk(item);
        Load(Bench(std::stoi(c[0]), devices));
        StreamCapture capture;
        EXPECT_EQ(Scan(), kScanEnded);
        std::string found;
        const auto drives = Drives();
        for (size_t i = 0; i < drives.size(); ++i) {
            const DeviceEntry& drive = *drives[i];
            std::string serial(drive.serialNumber);
            serial.erase(serial.find_last_not_of(' ') + 1);
            found += (i ? " " : "") + drive.path.substr(drive.path.find_first_of("0123456789")) + "@" +
                     std::to_string(drive.bus) + ":" + std::to_string(drive.targetId) + "/" + serial;
            EXPECT_EQ(g_devices[i].get(), &drive) << "no empty slot before it";
            ASSERT_TRUE(g_controllers[drive.bus]);
            EXPECT_TRUE(g_controllers[drive.bus]->isController);
            EXPECT_EQ(g_controllers[drive.bus]->targetId, 0xFF);
            EXPECT_EQ(StateOf(*g_controllers[drive.bus]), DeviceState::Controller);
            EXPECT_EQ(StateOf(drive), DeviceState::NotSelected);
            EXPECT_EQ(drive.testState, -1);
            EXPECT_TRUE(drive.handle);
            EXPECT_EQ(std::tuple(drive.lastLba, drive.blockLength), std::tuple(1000u, 512));
        }
        EXPECT_EQ(found, c[2]);
        for (size_t i = 3; i < c.fields.size(); ++i)
            EXPECT_NE((capture.Out() + capture.Log()).find(Unescaped(c[i])), std::string::npos) << c[i];
    }
}

// A command on named drives opens those alone, yet each stands where the
// whole scan puts it.
TEST_F(ScanTest, NamedDrivesAloneAreOpenedInTheirPlace)
{
    Load(Bench(2, Disk(0, 0) + "," + Disk(0, 3) + "," + Disk(1, 5)));
    CountingCatalog counting(*catalog);
    StreamCapture capture;
    EXPECT_EQ(ScanDrives(counting, {2}), kScanEnded);
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0]->path, "\\\\.\\physicaldrive2");
    EXPECT_EQ(drives[0]->bus, 1);
    EXPECT_EQ(drives[0]->targetId, 5);
    EXPECT_EQ(counting.opened, std::vector<std::string>{"\\\\.\\physicaldrive2"});
}

// A drive listed that cannot be opened any more (gone since, or not ours).
class GoneCatalog final : public CountingCatalog {
public:
    using CountingCatalog::CountingCatalog;
    DeviceHandle Open(const std::string& path, int& errorCode) override
    {
        if (!path.ends_with("drive0")) return CountingCatalog::Open(path, errorCode);
        errorCode = EACCES;
        return nullptr;
    }
};

TEST_F(ScanTest, DrivesThatCannotBeOpenedHideNoLaterDrive)
{
    Load(Bench(1, Disk(0, 0) + "," + Disk(0, 1) + "," + Disk(0, 2)));
    GoneCatalog gone(*catalog);
    EXPECT_EQ(ScanScsiDevices(gone), kScanEnded);
    EXPECT_EQ(Drives().size(), 2u);
}

TEST_F(ScanTest, SixtyFourSlotsAtMost)
{
    std::string devices;
    for (int i = 0; i < 70; ++i) devices += (i ? "," : "") + Disk(i / 20, i % 20 + 1);
    Load(Bench(4, devices));
    EXPECT_EQ(Scan(), kScanEnded);
    EXPECT_EQ(Drives().size(), 64u);
    EXPECT_TRUE(g_devices[63]);
}

// The bench's drives under a name too long for a device path.
class LongPathCatalog final : public CountingCatalog {
public:
    using CountingCatalog::CountingCatalog;
    std::string PathPrefix() const override { return "/dev/"; }
    std::string PathStem() const override { return "a-very-long-device-name-for-a-drive-"; }
};

TEST_F(ScanTest, PathLongerThanFortyCharactersStopsDiscovery)
{
    Load(Bench(1, Disk(0, 0)));
    LongPathCatalog longPaths(*catalog);
    StreamCapture capture;
    EXPECT_EQ(ScanScsiDevices(longPaths), kScanPathTooLong);
    EXPECT_EQ(capture.Log(), "Device name length(42) error\n");
    EXPECT_TRUE(longPaths.opened.empty());
}

}  // namespace
