#include <gtest/gtest.h>

#include "shell/device_info.h"
#include "shell/identity.h"
#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
#include "support/stream_capture.h"

namespace {

using IdentityTest = BenchFixture;

TEST_F(IdentityTest, CapabilityFlagsComeFromTheirInquiryBits)
{
    Load(Bench(1, Disk(0, 0, "MORVANE",
                       "\"capabilities\": {\"relAdr\": true, \"wbus16\": true, \"sync\": true, \"cmdQue\": true, "
                       "\"addr32\": true, \"trmIop\": true}")));
    StreamCapture capture;
    Scan();
    const DeviceEntry& entry = *g_devices[0];
    EXPECT_EQ(entry.RelAdr, 1u);
    EXPECT_EQ(entry.WBus32, 0u);
    EXPECT_EQ(entry.WBus16, 1u);
    EXPECT_EQ(entry.Sync, 1u);
    EXPECT_EQ(entry.Linked, 0u);
    EXPECT_EQ(entry.CmdQue, 1u);
    EXPECT_EQ(entry.SftRe, 0u);
    EXPECT_EQ(entry.ADDR32, 1u);
    EXPECT_EQ(entry.ADDR16, 0u);
    EXPECT_EQ(entry.AERC, 0u);
    EXPECT_EQ(entry.TrmIOP, 1u);
}

TEST_F(IdentityTest, DeviceInformationShowsVendorNameCapacityAndAddress)
{
    Load(Bench(2, Disk(0, 0) + "," + Disk(1, 5, "SEAFARER")));
    StreamCapture capture;
    Scan();
    const DeviceInfoValues maker = ReadDeviceInfoValues(*g_devices[0]);
    const DeviceInfoValues other = ReadDeviceInfoValues(*g_devices[1]);
    auto text = [](const DeviceInfoValues& values, int id) {
        for (const auto& t : values.texts)
            if (t.controlId == id) return t.value;
        return std::string("<missing>");
    };
    EXPECT_EQ(text(maker, 1002), "Morvane");
    EXPECT_EQ(text(other, 1002), "Other");
    EXPECT_EQ(text(other, 1006), "1000") << "the last block's address, not the count";
    EXPECT_EQ(text(other, 1007), "512");
    EXPECT_EQ(text(other, 1020), "5");
    EXPECT_EQ(text(other, 1019), "1");
    EXPECT_EQ(other.path, "\\\\.\\physicaldrive1");
    EXPECT_EQ(other.flags.size(), 12u);
}

TEST_F(IdentityTest, RefreshRereadsIdentityAndCapacity)
{
    Load(Bench(1, Disk(0, 0)));
    StreamCapture capture;
    Scan();
    DeviceEntry& entry = *g_devices[0];
    entry.lastLba = 7;
    entry.productId[0] = 'x';
    EXPECT_EQ(RefreshDriveIdentity(*catalog, entry), kIdentityOk);
    EXPECT_EQ(entry.lastLba, 1000u);
    EXPECT_STREQ(entry.productId, "MVX-00          ");
    // The Inquiry command prints the path it formats from the entry's own.
    EXPECT_NE(capture.Out().rfind("\\\\.\\physicaldrive0\nDrive Vendor Id"), std::string::npos);
}

TEST_F(IdentityTest, ADriveThatNoLongerAnswersKeepsItsDiscoveryValues)
{
    Load(Bench(1, Disk(0, 0)));
    StreamCapture capture;
    Scan();
    DeviceEntry& entry = *g_devices[0];
    SimFault fault;
    fault.action = SimFault::Action::CallFails;
    Sim().Disk(0)->AddFault(fault);
    EXPECT_EQ(RefreshDriveIdentity(*catalog, entry), kIdentityInquiryFailed);
    EXPECT_EQ(entry.lastLba, 1000u);
    EXPECT_STREQ(entry.serialNumber, "SN0     ");
    EXPECT_NE(capture.Log().find("Ioctl status = 00    Target Status = 00\n"), std::string::npos);
}

TEST_F(IdentityTest, ButtonColourFollowsTheDrivesStateAlone)
{
    Load(Bench(1, Disk(0, 0)));
    StreamCapture capture;
    Scan();
    DeviceEntry& entry = *g_devices[0];
    struct Case {
        bool selected;
        void (*change)(DeviceEntry&);
        uint32_t colour;
    };
    // A self-test or a test sequence ending on a drive nobody selected (as a
    // self-test of all drives leaves it) shows it unselected.
    const Case cases[] = {
        {false, MarkDeviceUnderTest, 0x32DC32u}, {false, MarkDeviceIdle, 0x3232FFu},
        {true, MarkDeviceUnderTest, 0x32DC32u},  {true, MarkDeviceIdle, 0x32FFFFu},
        {false, SetTestColour, 0x32DC32u},       {false, SetIdleColour, 0x3232FFu},
        {true, SetTestColour, 0x32DC32u},        {true, SetIdleColour, 0x32FFFFu},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetDeviceSelected(entry, c.selected));
        c.change(entry);
        EXPECT_EQ(ButtonColour(entry), c.colour) << "selected " << c.selected;
        EXPECT_EQ(entry.selected, c.selected);
        MarkDeviceIdle(entry);
        SetIdleColour(entry);
    }
    MarkDeviceUnderTest(entry);
    EXPECT_TRUE(entry.underTest);
    EXPECT_EQ(entry.testState, 0);
    EXPECT_FALSE(SetDeviceSelected(entry, false)) << "not while the drive tests itself";
    EXPECT_TRUE(entry.selected);
    MarkDeviceIdle(entry);
    EXPECT_FALSE(entry.underTest);
    EXPECT_EQ(entry.testState, -1);
    EXPECT_FALSE(SetDeviceSelected(*g_controllers[0], true));
    EXPECT_EQ(ButtonColour(*g_controllers[0]), 0xE6FFE6u) << "a controller keeps its colour";
    EXPECT_FALSE(g_controllers[0]->selected);
}

}  // namespace
