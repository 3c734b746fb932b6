#include <gtest/gtest.h>

#include "drives/device_info.h"
#include "drives/identity.h"
#include "sim/sim_disk.h"
#include "support/bench_fixture.h"
#include "support/case_file.h"
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

TEST_F(IdentityTest, CapacityAndSerialAsTheDriveReallyAnswers)
{
    for (const CaseLine& c : ReadCaseFile("drives/identity.txt")) {
        SCOPED_TRACE(CaseTrace("identity.txt", c));
        const bool hasSerial = c[0].find("\"serial\"") != std::string::npos;
        Load(Bench(1, std::string("{\"bus\": 0, \"targetId\": 0, \"vendor\": \"MORVANE\", \"product\": \"MVX-T\", ") +
                          (hasSerial ? "" : "\"serial\": \"SN-TEST1\", ") + c[0] + "}"));
        StreamCapture capture;
        Scan();
        ASSERT_EQ(g_devices[0] != nullptr, c[1] != "-");
        if (c[1] == "-") continue;
        const std::string serial = c[3].starts_with('"') ? c[3].substr(1, c[3].size() - 2) : c[3];
        const DeviceEntry& entry = *g_devices[0];
        EXPECT_EQ(entry.lastLba, std::stoull(c[1]));
        EXPECT_EQ(entry.blockLength, std::stoul(c[2]));
        EXPECT_EQ(entry.serialNumber, serial);
        const DeviceInfoValues values = ReadDeviceInfoValues(entry);
        EXPECT_EQ(values.texts[0].value, serial);
        EXPECT_EQ(values.texts[4].value, c[1]);
        EXPECT_NE(capture.Out().find("Serial Number............." + serial + "\n"), std::string::npos);
        EXPECT_EQ(capture.Log().find("Ioctl status"), std::string::npos) << "a refused capacity stays silent";
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
