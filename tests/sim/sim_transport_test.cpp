// The bench as the program meets it: catalog paths, SimScsiDevice moving a
// request's data and sense, the adapter list.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <tuple>

#include "platform/adapter_list.h"
#include "scsi/scsi_request.h"
#include "sim/sim_catalog.h"
#include "sim_test_support.h"

namespace {

// Drive 0 answers in descriptor format, drive 1 fails the adapter queries,
// drive 2 is left out of the adapter list.
const std::string kTwoDriveBench = "sim/transport_bench.json";

std::unique_ptr<SimCatalog> Catalog(const std::string& file)
{
    std::string error;
    auto catalog = MakeBenchCatalogFromJson(ReadTextFile(TestDataPath(file)), error);
    EXPECT_TRUE(catalog) << error;
    return std::unique_ptr<SimCatalog>(static_cast<SimCatalog*>(catalog.release()));
}

DeviceHandle Open(SimCatalog& catalog, uint32_t number)
{
    int errorCode = -1;
    auto handle = catalog.Open(catalog.PathPrefix() + catalog.PathStem() + std::to_string(number), errorCode);
    EXPECT_TRUE(handle);
    EXPECT_EQ(errorCode, 0);
    return handle;
}

ScsiRequest Request(std::vector<uint8_t> cdb, uint8_t dataIn, void* buffer, uint32_t length)
{
    ScsiRequest request;
    request.CdbLength = static_cast<uint8_t>(cdb.size());
    if (!cdb.empty()) std::memcpy(request.Cdb, cdb.data(), cdb.size());
    request.DataIn = dataIn;
    request.DataBuffer = buffer;
    request.DataTransferLength = length;
    request.SenseInfoLength = kSenseInfoLength;
    request.TimeOutValue = 10;
    return request;
}

}  // namespace

TEST(SimCatalogPaths, OpensOnlyTheBenchsDriveNumbers)
{
    auto catalog = Catalog(kTwoDriveBench);
    EXPECT_EQ(catalog->PathPrefix() + catalog->PathStem(), "\\\\.\\physicaldrive");
    EXPECT_EQ(catalog->DriveCount(), 3u);
    int errorCode = 0;
    EXPECT_TRUE(catalog->Open("\\\\.\\PhysicalDrive2", errorCode));  // any case
    for (const char* path : {"\\\\.\\physicaldrive3", "\\\\.\\physicaldrive01", "\\\\.\\physicaldrive",
                             "\\\\.\\physicaldrive1x", "/dev/sg0", "physicaldrive0", "\\\\.\\physicaldrive-1",
                             "\\\\.\\physicaldrive99999999999"}) {
        EXPECT_FALSE(catalog->Open(path, errorCode)) << path;
        EXPECT_EQ(errorCode, ENOENT) << path;
    }
    EXPECT_EQ(catalog->Disk(3), nullptr);
}

TEST(SimTransport, DataInStaysWithinTheTransferLength)
{
    auto catalog = Catalog(kTwoDriveBench);
    auto handle = Open(*catalog, 0);
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    ScsiRequest request = Request({0x12, 0, 0, 0, 255, 0}, kScsiDataIn, buffer, 36);
    ASSERT_TRUE(handle->Execute(request));
    EXPECT_EQ(request.ScsiStatus, kStatusGood);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 8, 8), "MORVANE ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 16, 20), "ONE                 ");
    EXPECT_EQ(buffer[36], 0xEE);
    EXPECT_EQ(request.DataTransferLength, 36u);
    EXPECT_EQ(request.DataResidual, 0u);

    // Standard INQUIRY data is 96 bytes here: the rest of a 255-byte
    // allocation is reported as not moved.
    uint8_t large[255];
    ScsiRequest longer = Request({0x12, 0, 0, 0, 255, 0}, kScsiDataIn, large, sizeof large);
    ASSERT_TRUE(handle->Execute(longer));
    EXPECT_EQ(DataTransferred(longer), large[4] + 5u);
    EXPECT_EQ(longer.DataResidual, sizeof large - (large[4] + 5u));

    // (What each fault moves: tests/data/sim/faults.scsi.)
}

TEST(SimTransport, DescriptorSenseReachesTheCallerInFixedFormat)
{
    auto catalog = Catalog(kTwoDriveBench);
    auto handle = Open(*catalog, 0);  // answers in descriptor format
    ScsiRequest request = Request({0x12, 0, 0x80, 0, 36, 0}, kScsiDataIn, nullptr, 0);
    std::memset(request.SenseData, 0xEE, sizeof request.SenseData);
    ASSERT_TRUE(handle->Execute(request));
    EXPECT_EQ(request.ScsiStatus, kStatusCheckCondition);
    const std::vector<uint8_t> sense(request.SenseData, request.SenseData + 32);
    EXPECT_EQ(sense, ParseHexText("70 00 05 00 00 00 00 0A 00 00 00 00 24 00 00 C0 00 02 "  // fixed sense
                                  "00 00 00 00 00 00 "                                     // rest of the 24
                                  "EE EE EE EE EE EE EE EE"));                             // beyond SenseInfoLength

    // A shorter sense area gets only what it asked for.
    ScsiRequest shortSense = Request({0x12, 0, 0x80, 0, 36, 0}, kScsiDataIn, nullptr, 0);
    shortSense.SenseInfoLength = 14;
    std::memset(shortSense.SenseData, 0xEE, sizeof shortSense.SenseData);
    ASSERT_TRUE(handle->Execute(shortSense));
    EXPECT_EQ(shortSense.SenseData[12], 0x24);
    EXPECT_EQ(shortSense.SenseData[13], 0x00);
    EXPECT_EQ(shortSense.SenseData[14], 0xEE);
}

TEST(SimTransport, FailedCallsLeaveStatusZero)
{
    auto catalog = Catalog(kTwoDriveBench);
    auto handle = Open(*catalog, 1);
    SimFault fails;
    fails.action = SimFault::Action::CallFails;
    catalog->Disk(1)->AddFault(fails);
    ScsiRequest request = Request({0x00, 0, 0, 0, 0, 0}, kScsiDataOut, nullptr, 0);
    request.ScsiStatus = 0x02;
    EXPECT_FALSE(handle->Execute(request));
    EXPECT_EQ(request.ScsiStatus, 0);

    catalog->Disk(1)->ClearFaults();
    SimFault hang;
    hang.action = SimFault::Action::Hang;
    catalog->Disk(1)->AddFault(hang);
    ScsiRequest zeroTimeOut = Request({0x00, 0, 0, 0, 0, 0}, kScsiDataOut, nullptr, 0);
    zeroTimeOut.TimeOutValue = 0;
    EXPECT_FALSE(handle->Execute(zeroTimeOut));

    // CDBs the transport cannot carry.
    catalog->Disk(1)->ClearFaults();
    ScsiRequest empty = Request({}, kScsiDataOut, nullptr, 0);
    EXPECT_FALSE(handle->Execute(empty));
    ScsiRequest tooLong = Request({0x00, 0, 0, 0, 0, 0}, kScsiDataOut, nullptr, 0);
    tooLong.CdbLength = 17;
    EXPECT_FALSE(handle->Execute(tooLong));
}

TEST(SimTransport, AdapterListHoldsTheListedDevicesBusByBus)
{
    auto catalog = Catalog(kTwoDriveBench);
    auto handle = Open(*catalog, 0);
    std::vector<uint8_t> buffer;
    int errorCode = -1;
    ASSERT_TRUE(handle->QueryAdapterInquiryData(buffer, errorCode));
    EXPECT_EQ(errorCode, 0);
    EXPECT_LE(buffer.size(), kAdapterListBufferSize);

    const AdapterList list = ParseAdapterInquiryData(buffer.data(), buffer.size());
    EXPECT_EQ(list.numberOfBuses, 2);
    ASSERT_EQ(list.devices.size(), 2u);  // the hidden device is not listed
    const auto Address = [](const AdapterListDevice& device) {
        return std::tuple(device.pathId, device.targetId, device.claimed);
    };
    EXPECT_EQ(Address(list.devices[0]), std::tuple(0, 2, true));
    EXPECT_EQ(Address(list.devices[1]), std::tuple(1, 5, false));
    ASSERT_EQ(list.devices[1].inquiry.size(), 36u);
    EXPECT_EQ(std::string(list.devices[1].inquiry.begin() + 8, list.devices[1].inquiry.begin() + 19), "MORVANE ONE");
    // The list is not a command: it leaves the drive's counters alone. (A
    // failing query: tests/data/drives/discovery.txt.)
    EXPECT_EQ(catalog->Disk(0)->CommandsReceived(), 0u);
}
