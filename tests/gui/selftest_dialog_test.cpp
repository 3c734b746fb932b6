// The "DST Results" dialog and the self-test commands on the simulated
// bench, offscreen; timer ticks are called directly against a fake clock.
#include <algorithm>

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "../selftest/dst_test_support.h"
#include "drives/device_table.h"
#include "selftest/dst_log.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "ui/selftest/dst_results_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

using dsttest::ManualClock;
using dsttest::ReadFile;
using dsttest::TempFolder;

namespace {

template <typename Widget>
Widget* Control(QDialog& dialog, int id)
{
    return dialog.findChild<Widget*>(QString::number(id));
}

class SelfTestDialogTest : public WorkstationTest {
protected:
    void TearDown() override
    {
        g_strDstLogPath.clear();
        WorkstationTest::TearDown();
    }

    // The bench's drives run their self-tests on the test's clock.
    void UseFakeClock()
    {
        auto& sim = static_cast<SimCatalog&>(*catalog);
        for (uint32_t n = 0; n < sim.DriveCount(); ++n)
            if (SimDisk* disk = sim.Disk(n)) disk->SetSelfTestClock(&clock);
    }
    std::vector<uint8_t> SelfTestCodes(uint32_t drive)
    {
        std::vector<uint8_t> codes;
        for (const auto& cdb : static_cast<SimCatalog&>(*catalog).Disk(drive)->RecentCdbs())
            if (cdb[0] == 0x1D) codes.push_back(cdb[1]);
        return codes;
    }
    void Trigger(int command) { View().CommandAction(command)->trigger(); }

    ManualClock clock;
    TempFolder folder;
};

}  // namespace

TEST_F(SelfTestDialogTest, SelectedDrivesOnlyAndStopLogsTheRun)
{
    Start("");
    UseFakeClock();
    g_strDstLogPath = folder.File("dst.log");
    SetDeviceSelected(*g_devices[2], true);
    WithModalDialog([&] { Trigger(32774); },
                    [&](QDialog& base) {
                        auto& dialog = static_cast<CDstResultsDlg&>(base);
                        dialog.SetClock(clock);
                        Control<QRadioButton>(dialog, 1095)->click();
                        Control<QPushButton>(dialog, 1097)->click();
                        clock.Advance(40);
                        dialog.OnTimer();
                        Control<QPushButton>(dialog, 1092)->click();
                        EXPECT_EQ(Control<QProgressBar>(dialog, 1093)->value(), 0);
                        EXPECT_TRUE(Control<QPushButton>(dialog, 1097)->isEnabled());
                        EXPECT_FALSE(dialog.Timer().isActive());
                        Control<QPushButton>(dialog, 1096)->click();
                        EXPECT_FALSE(dialog.isVisible());
                    });
    EXPECT_EQ(SelfTestCodes(2), (std::vector<uint8_t>{0x40, 0x80}));
    EXPECT_TRUE(SelfTestCodes(0).empty());
    const std::string log = ReadFile(g_strDstLogPath);
    EXPECT_NE(log.find("MVX-73LC        , 3KC20735, DST Advanced, The drive self-test was aborted by the abort "
                       "parameter code., "),
              std::string::npos)
        << log;
}
