#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "drives/device_table.h"
#include "ui/scan/surface_scan_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/view_commands.h"
#include "workstation_fixture.h"

namespace {

enum Column { kDrive, kMethod, kProgress, kLba, kRate, kTimeLeft, kFailed, kResult };

class SurfaceScanDialogTest : public WorkstationTest {};

QString Cell(const CSurfaceScanDlg& dialog, int row, int column)
{
    const QTableWidgetItem* item = dialog.Table().item(row, column);
    return item ? item->text() : QString();
}

TEST_F(SurfaceScanDialogTest, EveryDriveScansAtOnceWithItsOwnRowAndStop)
{
    // Four 1 GiB drives at their own media rates; the third has an unreadable block early on.
    Start("surface_scan.json");
    for (int slot = 0; slot < 4; ++slot) SetDeviceSelected(*g_devices[static_cast<size_t>(slot)], true);
    WithModalDialog([&] { View().CommandAction(kCmdSurfaceScan)->trigger(); }, [&](QDialog& shown) {
        auto& dialog = dynamic_cast<CSurfaceScanDlg&>(shown);
        ASSERT_EQ(dialog.Table().rowCount(), 4);
        dialog.resize(980, 420);
        dialog.findChild<QPushButton*>(QStringLiteral("scanStart"))->click();

        // Every drive runs at once: each shows a rate measured in this run.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (int row = 0; row < 4; ++row)
                    if (!Cell(dialog, row, kRate).endsWith(QStringLiteral("MB/s"))) return false;
                return dialog.Report().toPlainText().contains(QStringLiteral("LBA 100000: MEDIUM ERROR"));
            }(),
            10000);
        EXPECT_EQ(Cell(dialog, 2, kFailed), QStringLiteral("1"));
        EXPECT_TRUE(dialog.Running());
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("surface-scan.png"));

        // One drive's STOP ends that drive alone, at the LBA to resume from.
        dialog.findChild<QPushButton*>(QStringLiteral("scanStop1"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(Cell(dialog, 1, kResult), QStringLiteral("stopped"), 5000);
        EXPECT_EQ(Cell(dialog, 0, kResult), QStringLiteral("running"));
        EXPECT_TRUE(dialog.Report().toPlainText().contains(QStringLiteral("stopped: resume from LBA")));

        dialog.findChild<QPushButton*>(QStringLiteral("scanStopAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 5000);
        for (int row = 0; row < 4; ++row) EXPECT_EQ(Cell(dialog, row, kResult), QStringLiteral("stopped")) << row;
        EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("scanClose"))->isEnabled());
        dialog.reject();
    });
}

}  // namespace
