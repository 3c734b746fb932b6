// Self-tests run from the main window: the DST Results dialog's buttons,
// what the drive buttons show after a run, and a quit while drives test
// themselves. The dialog's timer is ticked by hand against a fake clock.
#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "drives/device_table.h"
#include "selftest/dst_log.h"
#include "sim/sim_disk.h"
#include "support/fake_time.h"
#include "ui/selftest/dst_results_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/view_commands.h"
#include "workstation_fixture.h"

namespace {

constexpr uint8_t kSendDiagnostic = 0x1D;

template <typename Widget>
Widget* Control(QDialog& dialog, int id)
{
    return dialog.findChild<Widget*>(QString::number(id));
}

// The built-in bench, its drives testing themselves on the test's clock.
class RunControlTest : public WorkstationTest {
protected:
    void SetUp() override
    {
        Start(std::string());
        for (uint32_t n = 0; n < Drives().size(); ++n) Disk(n).SetSelfTestClock(&clock);
        g_strDstLogPath = folder.filePath(QStringLiteral("dst.log")).toStdString();
    }
    void TearDown() override
    {
        g_strDstLogPath.clear();
        WorkstationTest::TearDown();
    }
    // Opens a self-test command's dialog on the test's clock and runs step on it.
    void SelfTest(int command, const std::function<void(CDstResultsDlg&)>& step)
    {
        WithModalDialog([&] { View().CommandAction(command)->trigger(); },
                        [&](QDialog& base) {
                            auto& dialog = static_cast<CDstResultsDlg&>(base);
                            dialog.SetClock(clock);
                            step(dialog);
                        });
    }
    // The self-test codes of the SEND DIAGNOSTICs a drive received.
    std::vector<uint8_t> SelfTestCodes(uint32_t drive)
    {
        std::vector<uint8_t> codes;
        for (const auto& cdb : Disk(drive).RecentCdbs())
            if (cdb[0] == kSendDiagnostic) codes.push_back(cdb[1]);
        return codes;
    }

    FakeTime clock{1700000000};
    QTemporaryDir folder;
};

// Drive 1 is selected: the command of selected drives tests it alone and STOP
// aborts its test; after the command of all drives each button shows its
// drive's own selection again.
TEST_F(RunControlTest, SelectedDrivesOnlyThenAllDrivesAndEachButtonKeepsItsDrivesSelection)
{
    ClickAt(*Button(0, 1), 50);
    SelfTest(kCmdSelfTest, [&](CDstResultsDlg& dialog) {
        Control<QRadioButton>(dialog, CDstResultsDlg::kAdvancedId)->click();
        Control<QPushButton>(dialog, CDstResultsDlg::kStartId)->click();
        clock.AdvanceSeconds(40);
        dialog.OnTimer();
        Control<QPushButton>(dialog, CDstResultsDlg::kStopId)->click();
        EXPECT_EQ(Control<QProgressBar>(dialog, CDstResultsDlg::kProgressId)->value(), 0);
        EXPECT_TRUE(Control<QPushButton>(dialog, CDstResultsDlg::kStartId)->isEnabled());
        EXPECT_FALSE(dialog.Timer().isActive());
        Control<QPushButton>(dialog, CDstResultsDlg::kCancelId)->click();
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(SelfTestCodes(1), (std::vector<uint8_t>{0x40, 0x80}));
    EXPECT_TRUE(SelfTestCodes(0).empty());

    SelfTest(kCmdSelfTestAll, [&](CDstResultsDlg& dialog) {
        auto* start = Control<QPushButton>(dialog, CDstResultsDlg::kStartId);
        start->click();
        for (CDeviceButton* drive : Drives()) EXPECT_EQ(PixelAt(*drive, 10, 10), kGreen);
        for (int tick = 0; tick < 60 && !start->isEnabled(); ++tick) {
            clock.AdvanceSeconds(10);
            dialog.OnTimer();
        }
        EXPECT_TRUE(start->isEnabled()) << "every drive's test ended";
    });
    QTest::qWait(20);
    for (CDeviceButton* drive : Drives()) {
        const bool selected = &drive->Entry() == g_devices[1].get();
        EXPECT_EQ(PixelAt(*drive, 10, 10), selected ? kYellow : kRed) << drive->Entry().path;
    }
    SaveScreenshot(Frame().grab().toImage(), QStringLiteral("after-self-test-of-all-drives.png"));
}

TEST_F(RunControlTest, QuitWhileDrivesTestThemselvesAsksThenAbortsTheirTests)
{
    QString question;
    SelfTest(kCmdSelfTestAll, [&](CDstResultsDlg& dialog) {
        Control<QPushButton>(dialog, CDstResultsDlg::kStartId)->click();
        question = Quit(true);
    });
    EXPECT_TRUE(question.startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
    QTRY_VERIFY(!Frame().isVisible());
    for (uint32_t n = 0; n < Drives().size(); ++n) {
        const std::vector<uint8_t> codes = SelfTestCodes(n);
        if (!codes.empty()) {
            EXPECT_EQ(codes.back(), 0x80) << "drive " << n << " aborted";
        }
    }
    for (CDeviceButton* drive : Drives()) EXPECT_FALSE(drive->Entry().underTest);
}

}  // namespace
