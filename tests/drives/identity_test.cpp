#include <gtest/gtest.h>

#include "drives/device_info.h"
#include "drives/identity.h"
#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
#include "support/stream_capture.h"

namespace {

using IdentityTest = BenchFixture;

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

// What discovery stores for drives past 2 TiB, drives that keep their serial
// only in VPD page 80h, and replies that moved less than they claim.
TEST_F(IdentityTest, CapacityAndSerialAsTheDriveReallyAnswers)
{
    struct Case {
        const char* name;
        const char* fields;
        bool found;
        uint64_t lastLba;
        uint32_t blockLength;
        const char* serial;
    };
    const Case cases[] = {
        {"4 TB", "\"blocks\": 7814037168", true, 7814037167ull, 512, "SN-TEST1"},
        {"last LBA FFFFFFFEh", "\"lastLba\": 4294967294", true, 0xFFFFFFFEull, 512, "SN-TEST1"},
        {"last LBA FFFFFFFFh", "\"lastLba\": 4294967295", true, 0xFFFFFFFFull, 512, "SN-TEST1"},
        {"4096-byte blocks past 16 TiB", "\"blocks\": 8589934592, \"blockLength\": 4096", true, 8589934591ull, 4096,
         "SN-TEST1"},
        {"READ CAPACITY (16) refused", "\"blocks\": 7814037168, \"faults\": [{\"opcode\": \"0x9E\", \"senseKey\": 5, "
                                       "\"asc\": \"0x20\"}]",
         true, 0xFFFFFFFFull, 512, "SN-TEST1"},
        {"READ CAPACITY (16) cut short", "\"blocks\": 7814037168, \"faults\": [{\"opcode\": \"0x9E\", "
                                         "\"action\": \"shortTransfer\", \"bytes\": 8}]",
         true, 0xFFFFFFFFull, 512, "SN-TEST1"},
        {"READ CAPACITY (10) cut short", "\"blocks\": 1001, \"faults\": [{\"opcode\": \"0x25\", "
                                         "\"action\": \"shortTransfer\", \"bytes\": 4}]",
         true, 0, 0, "SN-TEST1"},
        {"serial only in page 80h", "\"blocks\": 1001, \"serial\": \"ZA1B2C3D0000C1234567\", \"serialInInquiry\": false",
         true, 1000, 512, "ZA1B2C3D0000C1234567"},
        {"no serial anywhere", "\"blocks\": 1001, \"serial\": \"\", \"serialInInquiry\": false", true, 1000, 512,
         "        "},
        {"INQUIRY moves nothing", "\"blocks\": 1001, \"faults\": [{\"opcode\": \"0x12\", "
                                  "\"action\": \"shortTransfer\", \"bytes\": 0}]",
         false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string fields = c.fields;
        const std::string serial = fields.find("\"serial\"") == std::string::npos ? "\"serial\": \"SN-TEST1\", " : "";
        Load(Bench(1, "{\"bus\": 0, \"targetId\": 0, \"vendor\": \"MORVANE\", \"product\": \"MVX-T\", " + serial +
                          fields + "}"));
        StreamCapture capture;
        Scan();
        ASSERT_EQ(g_devices[0] != nullptr, c.found) << c.name;
        if (!c.found) continue;
        const DeviceEntry& entry = *g_devices[0];
        EXPECT_EQ(entry.lastLba, c.lastLba) << c.name;
        EXPECT_EQ(entry.blockLength, c.blockLength) << c.name;
        EXPECT_STREQ(entry.serialNumber, c.serial) << c.name;
        const DeviceInfoValues values = ReadDeviceInfoValues(entry);
        EXPECT_EQ(values.texts[0].value, c.serial) << c.name;
        EXPECT_EQ(values.texts[4].value, std::to_string(c.lastLba)) << c.name;
        EXPECT_NE(capture.Out().find(std::string("Serial Number.............") + c.serial + "\n"), std::string::npos)
            << c.name;
    }
}

TEST_F(IdentityTest, StateShownFollowsTheDrivesStateAlone)
{
    Load(Bench(1, Disk(0, 0)));
    Scan();
    DeviceEntry& entry = *g_devices[0];
    struct Case {
        bool selected;
        void (*change)(DeviceEntry&);
        DeviceState state;
    };
    // A self-test or a test sequence ending on a drive nobody selected (as a
    // self-test of all drives leaves it) shows it unselected.
    const Case cases[] = {
        {false, MarkDeviceUnderTest, DeviceState::UnderTest}, {false, MarkDeviceIdle, DeviceState::NotSelected},
        {true, MarkDeviceUnderTest, DeviceState::UnderTest},  {true, MarkDeviceIdle, DeviceState::Selected},
        {false, SetTestColour, DeviceState::UnderTest},       {false, SetIdleColour, DeviceState::NotSelected},
        {true, SetTestColour, DeviceState::UnderTest},        {true, SetIdleColour, DeviceState::Selected},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetDeviceSelected(entry, c.selected));
        c.change(entry);
        EXPECT_EQ(StateOf(entry), c.state) << "selected " << c.selected;
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
    EXPECT_EQ(StateOf(*g_controllers[0]), DeviceState::Controller) << "a controller stays one";
    EXPECT_FALSE(g_controllers[0]->selected);
}

}  // namespace
