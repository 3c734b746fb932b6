#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QStatusBar>
#include <QTest>

#include "drives/device_table.h"
#include "ui/shell/device_button.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

// The pictures for the documentation and for a reviewer's eye.
class ScreenshotTest : public WorkstationTest {};

TEST_F(ScreenshotTest, DefaultBenchWithSelectedDrivesMenuAndDialog)
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

    WithModalDialog([&] { ChooseItem(*menu, 32784); },
                    [](QDialog& dialog) {
                        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("device-information.png"));
                        dialog.reject();
                    });
}

}  // namespace
