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

TEST_F(SelfTestDialogTest, CommandsAreEnabledAndNeedASelectedDrive)
{
    Start("");
    for (int id : {32774, 32792, 32793, 32794}) {
        ASSERT_NE(View().CommandAction(id), nullptr) << id;
        EXPECT_TRUE(View().CommandAction(id)->isEnabled()) << id;
    }
    for (int id : {32774, 32792}) {
        WithModalDialog([&] { Trigger(id); },
                        [](QDialog& dialog) {
                            auto* box = qobject_cast<QMessageBox*>(&dialog);
                            ASSERT_NE(box, nullptr) << "a message box, not the dialog";
                            EXPECT_EQ(box->text(), "NO Drive Selected for Test");
                            EXPECT_EQ(box->windowTitle(), "DST Setup Error");
                            EXPECT_EQ(box->icon(), QMessageBox::Information);
                        });
    }
}

TEST_F(SelfTestDialogTest, DialogShowsItsControlsByIdWithQuickChosen)
{
    Start("");
    WithModalDialog([&] { Trigger(32793); },
                    [](QDialog& dialog) {
                        EXPECT_EQ(dialog.windowTitle(), "DST Results");
                        EXPECT_EQ(dialog.objectName(), "155");
                        auto* start = Control<QPushButton>(dialog, 1097);
                        ASSERT_NE(start, nullptr);
                        EXPECT_EQ(start->text(), "START");
                        EXPECT_TRUE(start->isDefault());
                        EXPECT_EQ(Control<QPushButton>(dialog, 1092)->text(), "STOP");
                        EXPECT_EQ(Control<QPushButton>(dialog, 1096)->text(), "Cancel");
                        EXPECT_TRUE(Control<QPlainTextEdit>(dialog, 1090)->isReadOnly());
                        auto* bar = Control<QProgressBar>(dialog, 1093);
                        EXPECT_EQ(bar->minimum(), 0);
                        EXPECT_EQ(bar->maximum(), 100);
                        EXPECT_EQ(Control<QRadioButton>(dialog, 1094)->text(), "Quick DST");
                        EXPECT_TRUE(Control<QRadioButton>(dialog, 1094)->isChecked());
                        EXPECT_EQ(Control<QRadioButton>(dialog, 1095)->text(), "Advanced DST");
                        EXPECT_EQ(Control<QRadioButton>(dialog, 1177)->text(), "Both");
                        auto* timer = dialog.findChild<QTimer*>(QStringLiteral("DST_TIMER"));
                        ASSERT_NE(timer, nullptr);
                        EXPECT_EQ(timer->interval(), 10000);
                        EXPECT_FALSE(timer->isActive());
                    });
}

TEST_F(SelfTestDialogTest, BothRunOnTheBenchFollowsEveryDrive)
{
    Start("");
    UseFakeClock();
    g_strDstLogPath = folder.File("dst.log");
    WithModalDialog([&] { Trigger(32793); },
                    [&](QDialog& base) {
                        auto& dialog = static_cast<CDstResultsDlg&>(base);
                        dialog.SetClock(clock);
                        Control<QRadioButton>(dialog, 1177)->click();
                        Control<QPushButton>(dialog, 1097)->click();
                        auto* bar = Control<QProgressBar>(dialog, 1093);
                        EXPECT_EQ(bar->value(), 2);
                        EXPECT_FALSE(Control<QPushButton>(dialog, 1097)->isEnabled());
                        EXPECT_TRUE(dialog.Timer().isActive());
                        EXPECT_EQ(ButtonColour(*g_devices[0]), kColourUnderTest);

                        // The quick phase follows the slowest drive, VD-9100's 35 seconds,
                        // in a third of the bar.
                        const auto running = [] {
                            return std::count_if(g_devices.begin(), g_devices.end(),
                                                 [](const auto& entry) { return entry && entry->underTest; });
                        };
                        for (const int expected : {9, 19, 28, 33}) {
                            clock.Advance(10);
                            dialog.OnTimer();
                            EXPECT_EQ(bar->value(), expected) << running() << " drives running";
                            if (expected == 19) {
                                EXPECT_EQ(running(), 3) << "three of six have ended";
                            }
                        }
                        clock.Advance(10);
                        dialog.OnTimer();  // nothing left running: the advanced phase starts
                        EXPECT_EQ(bar->value(), 2);
                        EXPECT_EQ(SelfTestCodes(0), (std::vector<uint8_t>{0x20, 0x40}));
                        clock.Advance(30);
                        dialog.OnTimer();
                        EXPECT_EQ(bar->value(), 49) << "a quarter of MVE-4000SAS's 120 seconds";

                        const QString text = Control<QPlainTextEdit>(dialog, 1090)->toPlainText();
                        EXPECT_TRUE(text.contains("for drive physicaldrive1\nQuick Drive Self Test (DST)\n"));
                        EXPECT_TRUE(text.contains("The read/verify element of the self-test failed.\n"
                                                  "Failing LBA High Order Bytes =   0 0.\n"));
                        EXPECT_TRUE(text.contains("Advanced Drive Self Test (DST)"));
                        EXPECT_TRUE(text.contains("The Send Diagnostic command failed. DST Not Running\n"
                                                  "Sense Key =   5\n"))
                            << "VD-9100 refuses the advanced test";
                        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("dst-results.png"));
                        SaveScreenshot(Frame().grab().toImage(), QStringLiteral("dst-main-window.png"));

                        // Closing the dialog while drives run aborts them.
                        dialog.close();
                    });
    const std::vector<uint8_t> aborted{0x20, 0x40, 0x80};
    const std::vector<uint8_t> refused{0x20, 0x40};
    for (uint32_t drive = 0; drive < 6; ++drive)
        EXPECT_EQ(SelfTestCodes(drive), drive == 3 ? refused : aborted) << drive;
    for (auto& entry : g_devices) {
        if (entry) {
            EXPECT_FALSE(entry->underTest);
        }
    }
    const std::string log = ReadFile(g_strDstLogPath);
    EXPECT_NE(log.find("DST Quick"), std::string::npos) << "the quick phase was logged";
    EXPECT_EQ(log.find("DST Advanced"), std::string::npos) << "closing writes no row";
    EXPECT_NE(log.find("MVX-36LW        , 3KB11090, DST Quick, The read/verify element of the self-test failed., "),
              std::string::npos);
    EXPECT_NE(log.find(", 0000000000012345, 03, 11, 00, 00"), std::string::npos);
}

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

TEST_F(SelfTestDialogTest, LogFileCommandAsksForAFileAndPreparesIt)
{
    Start("");
    const std::string chosen = folder.File("line3.log");
    WithModalDialog([&] { Trigger(32794); },
                    [&](QDialog& dialog) {
                        auto* files = qobject_cast<QFileDialog*>(&dialog);
                        ASSERT_NE(files, nullptr);
                        EXPECT_EQ(files->windowTitle(), "Select DST Log File");
                        EXPECT_EQ(files->defaultSuffix(), "log");
                        EXPECT_EQ(files->fileMode(), QFileDialog::AnyFile) << "a new file is accepted";
                        files->selectFile(QString::fromStdString(chosen));
                        QMetaObject::invokeMethod(files, "accept");
                    });
    EXPECT_EQ(g_strDstLogPath, chosen);
    EXPECT_EQ(ReadFile(chosen).rfind("Product ID, Serial#, Test Type", 0), 0u);
}
