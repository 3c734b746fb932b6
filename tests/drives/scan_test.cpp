#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
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

TEST_F(ScanTest, TwoDrivesOnBusZeroStandUnderTheirController)
{
    Load(Bench(1, Disk(0, 0) + "," + Disk(0, 3)));
    Scan();
    ASSERT_TRUE(g_controllers[0]);
    const DeviceEntry& controller = *g_controllers[0];
    EXPECT_EQ(controller.targetId, 0xFF);
    EXPECT_TRUE(controller.isController);
    EXPECT_EQ(StateOf(controller), DeviceState::Controller);

    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->targetId, 0);
    EXPECT_EQ(drives[1]->targetId, 3);
    for (DeviceEntry* drive : drives) {
        EXPECT_EQ(drive->bus, 0);
        EXPECT_EQ(StateOf(*drive), DeviceState::NotSelected);
        EXPECT_FALSE(drive->selected);
        EXPECT_EQ(drive->testState, -1);
        EXPECT_TRUE(drive->handle);
    }
    EXPECT_EQ(drives[1]->path, "\\\\.\\physicaldrive1");
    EXPECT_EQ(drives[1]->lastLba, 1000u);
    EXPECT_EQ(drives[1]->blockLength, 512);
}

TEST_F(ScanTest, SecondBusGetsItsOwnColumn)
{
    Load(Bench(2, Disk(0, 2) + "," + Disk(1, 5)));
    Scan();
    ASSERT_TRUE(g_controllers[1]);
    EXPECT_EQ(g_controllers[1]->bus, 1);
    EXPECT_EQ(Drives()[1]->bus, 1);
}

TEST_F(ScanTest, GapsInDriveNumbersHideNoDrive)
{
    Load(Bench(1, Disk(0, 0) + "," + Disk(0, 1, "MORVANE", "\"driveNumber\": 2") + "," +
                      Disk(0, 4, "MORVANE", "\"driveNumber\": 7")));
    EXPECT_EQ(Scan(), kScanEnded);
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 3u);
    const struct {
        const char* path;
        int targetId;
    } expected[] = {{"\\\\.\\physicaldrive0", 0}, {"\\\\.\\physicaldrive2", 1}, {"\\\\.\\physicaldrive7", 4}};
    for (size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i]->path, expected[i].path);
        EXPECT_EQ(drives[i]->targetId, expected[i].targetId) << "each drive takes its own adapter list entry";
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
class GoneCatalog : public DeviceCatalog {
public:
    explicit GoneCatalog(DeviceCatalog& inner) : inner_(inner) {}
    std::string PathPrefix() const override { return inner_.PathPrefix(); }
    std::string PathStem() const override { return inner_.PathStem(); }
    std::vector<uint32_t> DriveNumbers() const override
    {
        std::vector<uint32_t> numbers{0, 1};
        for (uint32_t number : inner_.DriveNumbers()) numbers.push_back(number + 2);
        return numbers;
    }
    DeviceHandle Open(const std::string& path, int& errorCode) override
    {
        const uint32_t number = std::stoul(path.substr(PathPrefix().size() + PathStem().size()));
        if (number < 2) {
            errorCode = EACCES;
            return nullptr;
        }
        return inner_.Open(PathPrefix() + PathStem() + std::to_string(number - 2), errorCode);
    }

private:
    DeviceCatalog& inner_;
};

TEST_F(ScanTest, DrivesThatCannotBeOpenedHideNoLaterDrive)
{
    Load(Bench(1, Disk(0, 0) + "," + Disk(0, 1)));
    GoneCatalog gone(*catalog);
    EXPECT_EQ(ScanScsiDevices(gone), kScanEnded);
    EXPECT_EQ(Drives().size(), 2u);
}

TEST_F(ScanTest, NonDiskDeviceIsSkippedAndTheNextDiskTakesTheSlot)
{
    Load(Bench(1, Disk(0, 0) + "," + Disk(0, 4, "LUMERIC", "\"deviceType\": 5") + "," + Disk(0, 6)));
    StreamCapture capture;
    Scan();
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(g_devices[1].get(), drives[1]) << "no empty slot between them";
    EXPECT_EQ(drives[1]->targetId, 6);
    EXPECT_NE(capture.Log().find("Requested target type: 5 is not a disk drive\n"), std::string::npos);
}

TEST_F(ScanTest, BusAboveThreeEndsTheScanKeepingEarlierDrives)
{
    Load(Bench(6, Disk(0, 0) + "," + Disk(3, 2) + "," + Disk(3, 5) + "," + Disk(4, 1) + "," + Disk(5, 1)));
    EXPECT_EQ(Scan(), kScanEnded);
    ASSERT_EQ(Drives().size(), 3u);
    EXPECT_EQ(Drives()[2]->bus, 3) << "bus 3 is the last one shown";
    EXPECT_TRUE(g_controllers[3]);
}

TEST_F(ScanTest, ShortAdapterListLendsItsLastEntry)
{
    Load(Bench(2, Disk(0, 0) + "," + Disk(1, 5) + "," + Disk(1, 9, "MORVANE", "\"inAdapterList\": false")));
    Scan();
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[2]->bus, 1);
    EXPECT_EQ(drives[2]->targetId, 5) << "the last listed entry's id, not its own";
    EXPECT_EQ(drives[2]->serialNumber, std::string("SN109   ")) << "yet its own identity";
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

// Drives whose platform tells their own address (as Linux does), in an
// order that comes back to bus 0 after bus 1.
class AddressedCatalog : public DeviceCatalog {
public:
    AddressedCatalog(DeviceCatalog& inner, std::vector<ScsiAddress> addresses)
        : inner_(inner), addresses_(std::move(addresses))
    {
    }
    std::string PathPrefix() const override { return inner_.PathPrefix(); }
    std::string PathStem() const override { return inner_.PathStem(); }
    std::vector<uint32_t> DriveNumbers() const override { return inner_.DriveNumbers(); }
    DeviceHandle Open(const std::string& path, int& errorCode) override
    {
        DeviceHandle device = inner_.Open(path, errorCode);
        if (!device) return nullptr;
        const size_t number = std::stoul(path.substr(PathPrefix().size() + PathStem().size()));
        return std::make_shared<Addressed>(device, addresses_.at(number));
    }

private:
    class Addressed : public ScsiDevice {
    public:
        Addressed(DeviceHandle inner, ScsiAddress address) : inner_(std::move(inner)), address_(address) {}
        bool Execute(ScsiRequest& request) override { return inner_->Execute(request); }
        bool QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode) override
        {
            return inner_->QueryAdapterInquiryData(buffer, errorCode);
        }
        bool QueryAddress(ScsiAddress& address) override
        {
            address = address_;
            return true;
        }
        bool QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode) override
        {
            return inner_->QueryCapabilities(capabilities, errorCode);
        }

    private:
        DeviceHandle inner_;
        ScsiAddress address_;
    };
    DeviceCatalog& inner_;
    std::vector<ScsiAddress> addresses_;
};

TEST_F(ScanTest, FailedQueriesSkipOnlyThatDrive)
{
    Load(Bench(1, Disk(0, 0, "MORVANE", "\"adapterListError\": 5") + "," +
                      Disk(0, 1, "MORVANE", "\"capabilitiesError\": 22") + "," +
                      Disk(0, 2, "MORVANE", "\"faults\": [{\"opcode\": \"0x12\", \"senseKey\": 4, \"asc\": 68}]") +
                      "," + Disk(0, 3)));
    StreamCapture capture;
    Scan();
    const auto drives = Drives();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0]->targetId, 3);
    const std::string out = capture.Out();
    EXPECT_NE(out.find("IOCTL_SCSI_GET_INQUIRY_DATA returned error 5\nInput/output error\n"), std::string::npos);
    EXPECT_NE(out.find("Error in io control; error was 22\nInvalid argument\n"), std::string::npos);
    EXPECT_NE(capture.Log().find("Ioctl status = 01    Target Status = 02\n"), std::string::npos);
}

TEST_F(ScanTest, FailedReadCapacityListsTheDriveAsZero)
{
    Load(Bench(1, Disk(0, 0, "MORVANE", "\"faults\": [{\"opcode\": \"0x25\", \"senseKey\": 3, \"asc\": 17}]")));
    StreamCapture capture;
    Scan();
    ASSERT_EQ(Drives().size(), 1u);
    EXPECT_EQ(Drives()[0]->lastLba, 0u);
    EXPECT_EQ(Drives()[0]->blockLength, 0);
    EXPECT_EQ(capture.Log().find("Ioctl status"), std::string::npos) << "report flag 2 stays silent";
}

class LongPathCatalog : public DeviceCatalog {
public:
    std::string PathPrefix() const override { return "/dev/"; }
    std::string PathStem() const override { return "a-very-long-device-name-for-a-drive-"; }
    std::vector<uint32_t> DriveNumbers() const override { return {0}; }
    DeviceHandle Open(const std::string&, int& errorCode) override
    {
        errorCode = ENOENT;
        return nullptr;
    }
};

TEST(ScanPathTest, PathLongerThanFortyCharactersStopsDiscovery)
{
    LongPathCatalog catalog;
    StreamCapture capture;
    EXPECT_EQ(ScanScsiDevices(catalog), kScanPathTooLong);
    EXPECT_EQ(capture.Log(), "Device name length(42) error\n");
}

}  // namespace
