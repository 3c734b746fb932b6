#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "drives/device_table.h"
#include "ui/shell/device_button.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kInquiry = 32784;
constexpr int kSmartData = 32785;

// The pictures for the documentation and for a reviewer's eye.
class ScreenshotTest : public WorkstationTest {};

TEST_F(ScreenshotTest, DefaultBenchWithSelectedDrivesMenuAndDialogs)
{
    Start(std::string());
    const std::vector<CDeviceButton*> drives = Drives();
    ASSERT_GE(drives.size(), 5u);
    ClickAt(*drives[1], 50);
    ClickAt(*drives[4], 50);
    ClickAt(*drives[3], 50);
    MarkDeviceUnderTest(drives[3]->Entry());
    QEvent leave(QEvent::Leave);  // the pointer moves off, as for a picture
    QApplication::sendEvent(drives[3], &leave);
    QTest::qWait(20);
    EXPECT_EQ(Frame().statusBar()->currentMessage(), "");
    SaveScreenshot(Frame().grab().toImage(), QStringLiteral("main-window.png"));

    QMenu* menu = OpenDeviceMenu(*drives[0]);
    ASSERT_NE(menu, nullptr);
    QTest::mouseMove(menu, menu->actionGeometry(menu->actions()[0]).center());
    QImage withMenu = Frame().grab().toImage();
    QPainter(&withMenu).drawPixmap(menu->pos() - Frame().mapToGlobal(QPoint(0, 0)), menu->grab());
    SaveScreenshot(withMenu, QStringLiteral("device-menu.png"));

    WithModalDialog([&] { ChooseItem(*menu, kInquiry); },
                    [](QDialog& dialog) {
                        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("device-information.png"));
                        dialog.reject();
                    });

    // Bus 0, target 0 is a maker drive: its SMART sheet names it, has a tab
    // per page and parameter, all read-only, and only Exit.
    WithDeviceDialog(0, 0, kSmartData, [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Smart Data - \\\\.\\physicaldrive0: MORVANE MVX-18LW, serial 3KA04417");
        auto* tabs = dialog.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        EXPECT_EQ(tabs->count(), 6);
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
            EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 1);
        EXPECT_EQ(buttons[0]->text(), "Exit");
        tabs->setCurrentIndex(4);
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("smart-data.png"));
        QTest::mouseClick(buttons[0], Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
    });
}

}  // namespace
