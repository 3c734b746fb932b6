#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "platform/device_catalog.h"
#include "sim/sim_catalog.h"
#include "ui/app/kestrion_app.h"
#include "ui/app/workstation.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {


// The pictures for the documentation and for a reviewer's eye.
class ScreenshotTest : public WorkstationTest {};

TEST_F(ScreenshotTest, DefaultBenchWithSelectedDrivesMenuAndDialog)
{
    Start(std::string());
    ASSERT_GE(View().Buttons().size(), 4u);
    std::vector<CDeviceButton*> drives;
    for (CDeviceButton* button : View().Buttons()) {
        if (!button->Entry().isController) drives.push_back(button);
    }
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
    {
        QPainter painter(&withMenu);
        painter.drawPixmap(menu->pos() - Frame().mapToGlobal(QPoint(0, 0)), menu->grab());
    }
    SaveScreenshot(withMenu, QStringLiteral("device-menu.png"));

    WithModalDialog([&] { ChooseItem(*menu, 32784); },
                    [](QDialog& dialog) {
                        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("device-information.png"));
                        dialog.reject();
                    });
}

}  // namespace
