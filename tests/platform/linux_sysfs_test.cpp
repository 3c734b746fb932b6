#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/adapter_list.h"
#include "platform/linux_adapter_list.h"
#include "platform/linux_sg_device.h"
#include "platform/linux_sysfs.h"

namespace {

const std::string kFakeSysfs = std::string(KESTRION_TEST_DATA) + "/linux/sysfs";

ScsiHctl Hctl(int host, int channel, int target, uint64_t lun = 0) { return ScsiHctl{host, channel, target, lun}; }

}  // namespace

TEST(LinuxSysfs, ListsSgDevicesInNumericAddressOrder)
{
    const LinuxSysfs sysfs(kFakeSysfs);
    // 0:0:10:0 sorts after 0:0:5:0, not after 0:0:0:0; 2:0:7:0 has no sg node.
    const std::vector<ScsiHctl> expected = {Hctl(0, 0, 0), Hctl(0, 0, 2),   Hctl(0, 0, 4), Hctl(0, 0, 5),
                                            Hctl(0, 0, 10), Hctl(0, 0, 300), Hctl(0, 1, 1), Hctl(2, 0, 3)};
    EXPECT_EQ(sysfs.SgDevices(), expected);
    EXPECT_TRUE(LinuxSysfs("/nonexistent/sysfs").SgDevices().empty());

    EXPECT_FALSE(ParseHctl("0:0:0").has_value());
    EXPECT_FALSE(ParseHctl("0:0:x:0").has_value());
    EXPECT_FALSE(ParseHctl("0:-1:0:0").has_value());
    const auto wideLun = ParseHctl("1:2:3:281474976710656");
    ASSERT_TRUE(wideLun.has_value());
    EXPECT_EQ(wideLun->lun, 281474976710656u);
}

TEST(LinuxSysfs, EveryAdapterChannelGetsItsOwnBus)
{
    const auto devices = LinuxSysfs(kFakeSysfs).SgDevices();
    EXPECT_EQ(BusRank(devices, 0, 0), 0);
    EXPECT_EQ(BusRank(devices, 0, 1), 1);
    EXPECT_EQ(BusRank(devices, 2, 0), 2);
    // A channel the list does not know (sysfs unreadable) still gets a bus.
    EXPECT_EQ(BusRank({}, 5, 3), 0);
    EXPECT_EQ(BusRank(devices, 1, 0), 2);
}

TEST(LinuxSysfs, HostAdapterListFromTheTree)
{
    const AdapterList list = ReadHostAdapterList(LinuxSysfs(kFakeSysfs), 0);
    EXPECT_EQ(list.numberOfBuses, 2);
    struct Expected {
        uint8_t pathId, targetId;
        bool claimed;
        uint8_t type;
        const char* identity;
    };
    // 0:0:300:0 cannot be described in the list's byte-wide target field.
    const std::vector<Expected> expected = {
        {0, 0, true, 0x00, "MORVANE KX-4000 SAS     M1A2"},  {0, 2, true, 0x00, "ARDWYN  AD-900          B07 "},
        {0, 4, true, 0x05, "QVIS    OPTI-ROM 24X    1.0 "},  {0, 5, false, 0x0D, "TESSELL BAY-12          0300"},
        {0, 10, true, 0x00, "OBRIN   OB-16T          Z110"}, {1, 1, true, 0x00, "MORVANE KX-2000 SAS     M0C4"}};
    ASSERT_EQ(list.devices.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const AdapterListDevice& device = list.devices[i];
        SCOPED_TRACE(expected[i].identity);
        EXPECT_EQ(device.pathId, expected[i].pathId);
        EXPECT_EQ(device.targetId, expected[i].targetId);
        EXPECT_EQ(device.lun, 0);
        EXPECT_EQ(device.claimed, expected[i].claimed);
        ASSERT_EQ(device.inquiry.size(), kStandardInquiryLength);
        EXPECT_EQ(device.inquiry[0], expected[i].type);
        EXPECT_EQ(std::string(device.inquiry.begin() + 8, device.inquiry.begin() + 36), expected[i].identity);
        EXPECT_NE(device.inquiry[4], 0) << "an additional length of 0 would make discovery skip the device";
    }
    // The kernel's own copy is used as it stands (the drive's flags included)...
    EXPECT_EQ(list.devices[0].inquiry[4], 69);
    EXPECT_EQ(list.devices[0].inquiry[7], 0x02);
    // ...and without one the header is rebuilt from the attributes.
    const auto& rebuilt = list.devices[1].inquiry;
    EXPECT_EQ(rebuilt[2], 5);  // scsi_level 6: SPC-3
    EXPECT_EQ(rebuilt[3], 2);
    EXPECT_EQ(rebuilt[4], 31);
}

TEST(LinuxSysfs, CapabilitiesFromQueueLimitsOrTheSgDriver)
{
    const LinuxSysfs sysfs(kFakeSysfs);
    const AdapterCapabilities disk = LinuxCapabilities(65536, 128, sysfs.ReadQueueLimits(Hctl(0, 0, 0)));
    EXPECT_EQ(disk.maximumTransferLength, 512u * 1024);
    EXPECT_EQ(disk.maximumPhysicalPages, 126u);
    EXPECT_EQ(disk.alignmentMask, 511u);
    EXPECT_EQ(disk.length, 24u);
    EXPECT_EQ(disk.taggedQueuing, 0);

    // An older kernel without dma_alignment: no mask is claimed.
    const AdapterCapabilities older = LinuxCapabilities(65536, 128, sysfs.ReadQueueLimits(Hctl(0, 0, 2)));
    EXPECT_EQ(older.maximumTransferLength, 32767u * 1024);
    EXPECT_EQ(older.maximumPhysicalPages, 2048u);
    EXPECT_EQ(older.alignmentMask, 0u);

    // No block device (CD-ROM under sr is left without one in the tree): the sg driver's figures.
    EXPECT_FALSE(sysfs.ReadQueueLimits(Hctl(0, 0, 4)).has_value());
    const AdapterCapabilities sgOnly = LinuxCapabilities(65536, 128, std::nullopt);
    EXPECT_EQ(sgOnly.maximumTransferLength, 65536u);
    EXPECT_EQ(sgOnly.maximumPhysicalPages, 128u);
}
