// Runs on the drives seen from the main window: what the buttons show after
// a self-test run, and a quit while drives test themselves.
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

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

namespace {

constexpr int kSelfTestOfAllDrives = 32793;
constexpr int kStartId = 1097;

class RunControlTest : public WorkstationTest {
protected:
    void TearDown() override
    {
        g_strDstLogPath.clear();
        WorkstationTest::TearDown();
    }
    // The default bench, its drives testing themselves on the test's clock.
    void StartBench()
    {
        Start(std::string());
        auto& sim = static_cast<SimCatalog&>(*catalog);
        for (uint32_t n = 0; n < sim.DriveCount(); ++n) sim.Disk(n)->SetSelfTestClock(&clock);
        g_strDstLogPath = folder.File("dst.log");
    }
    // "Self Test of All Drives", quick, started; then step on the dialog.
    void SelfTestOfAllDrives(const std::function<void(CDstResultsDlg&)>& step)
    {
        WithModalDialog([&] { View().CommandAction(kSelfTestOfAllDrives)->trigger(); },
                        [&](QDialog& base) {
                            auto& dialog = static_cast<CDstResultsDlg&>(base);
                            dialog.SetClock(clock);
                            dialog.findChild<QPushButton*>(QString::number(kStartId))->click();
                            step(dialog);
                        });
    }
    std::vector<CDeviceButton*> Drives() const
    {
        std::vector<CDeviceButton*> drives;
        for (CDeviceButton* button : View().Buttons())
            if (!button->Entry().isController) drives.push_back(button);
        return drives;
    }

    dsttest::ManualClock clock;
    dsttest::TempFolder folder;
};

TEST_F(RunControlTest, AfterASelfTestOfAllDrivesEachButtonShowsItsDrivesOwnSelection)
{
    StartBench();
    ClickAt(*Button(0, 1), 50);
    SelfTestOfAllDrives([&](CDstResultsDlg& dialog) {
        for (CDeviceButton* drive : Drives()) EXPECT_EQ(PixelAt(*drive, 10, 10), QColor(50, 220, 50));
        auto* start = dialog.findChild<QPushButton*>(QString::number(kStartId));
        for (int tick = 0; tick < 60 && !start->isEnabled(); ++tick) {
            clock.Advance(10);
            dialog.OnTimer();
        }
        EXPECT_TRUE(start->isEnabled()) << "every drive's test ended";
    });
    QTest::qWait(20);
    for (CDeviceButton* drive : Drives()) {
        const bool selected = &drive->Entry() == g_devices[1].get();
        EXPECT_EQ(PixelAt(*drive, 10, 10), selected ? QColor(255, 255, 50) : QColor(255, 50, 50))
            << drive->Entry().path;
        EXPECT_EQ(drive->Entry().selected, selected);
    }
    SaveScreenshot(Frame().grab().toImage(), QStringLiteral("after-self-test-of-all-drives.png"));
}

TEST_F(RunControlTest, QuitWhileDrivesTestThemselvesAsksThenAbortsTheirTests)
{
    StartBench();
    QString question;
    SelfTestOfAllDrives([&](CDstResultsDlg&) {
        WithModalDialog([&] { Frame().close(); },
                        [&](QDialog& dialog) {
                            auto* box = qobject_cast<QMessageBox*>(&dialog);
                            ASSERT_NE(box, nullptr);
                            question = box->text();
                            box->button(QMessageBox::Yes)->click();
                        });
    });
    EXPECT_TRUE(question.startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
    QTRY_VERIFY(!Frame().isVisible());
    auto& sim = static_cast<SimCatalog&>(*catalog);
    for (uint32_t n = 0; n < sim.DriveCount(); ++n) {
        std::vector<uint8_t> codes;
        for (const auto& cdb : sim.Disk(n)->RecentCdbs())
            if (cdb[0] == 0x1D) codes.push_back(cdb[1]);
        if (!codes.empty()) {
            EXPECT_EQ(codes.back(), 0x80) << "drive " << n << " aborted";
        }
    }
    for (CDeviceButton* drive : Drives()) EXPECT_FALSE(drive->Entry().underTest);
}

}  // namespace
