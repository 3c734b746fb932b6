#include "workstation_fixture.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "box_answerer.h"
#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "drives/sheet_device.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "ui/app/workstation.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"

void WorkstationTest::TearDown()
{
    frame.reset();
    catalog.reset();
    g_pSheetDevice = nullptr;
    ClearDeviceTable();
}

void WorkstationTest::Start(const std::string& benchFile)
{
    std::string error;
    catalog = MakeBenchCatalog(benchFile.empty() ? "" : KESTRION_TEST_DATA "/gui/" + benchFile, error);
    ASSERT_TRUE(catalog) << error;
    frame = MakeWorkstation(*catalog, true);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
}

CKestrionView& WorkstationTest::View() const { return *frame->View(); }

CDeviceButton* WorkstationTest::Button(int bus, int targetId) const
{
    return View().ButtonFor(static_cast<uint8_t>(bus), static_cast<uint8_t>(targetId));
}

std::vector<CDeviceButton*> WorkstationTest::Drives() const
{
    std::vector<CDeviceButton*> drives;
    for (CDeviceButton* button : View().Buttons())
        if (!button->Entry().isController) drives.push_back(button);
    return drives;
}

SimDisk& WorkstationTest::Disk(uint32_t number) const { return *static_cast<SimCatalog&>(*catalog).Disk(number); }

void WorkstationTest::ClickAt(CDeviceButton& button, int x)
{
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(x, button.height() / 2));
}

QMenu* WorkstationTest::OpenDeviceMenu(CDeviceButton& button)
{
    ClickAt(button, button.width() - 1);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_TRUE(!menu || QTest::qWaitForWindowExposed(menu));
    return menu;
}

void WorkstationTest::ChooseItem(QMenu& menu, int commandId)
{
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions())
        if (action->objectName() == QString::number(commandId)) chosen = action;
    ASSERT_NE(chosen, nullptr) << "no item " << commandId;
    QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, menu.actionGeometry(chosen).center());
}

void WorkstationTest::WithDeviceDialog(int bus, int targetId, int commandId, const std::function<void(QDialog&)>& step)
{
    CDeviceButton* button = Button(bus, targetId);
    ASSERT_NE(button, nullptr);
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    WithModalDialog([&] { ChooseItem(*menu, commandId); }, step);
}

QString WorkstationTest::Quit(bool yes)
{
    QString question;
    WithModalDialog([&] { frame->close(); },
                    [&](QDialog& dialog) {
                        auto* box = qobject_cast<QMessageBox*>(&dialog);
                        ASSERT_NE(box, nullptr);
                        question = box->text();
                        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                    });
    return question;
}

void WorkstationTest::WithModalDialog(const std::function<void()>& trigger,
                                      const std::function<void(QDialog&)>& step)
{
    bool reached = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        reached = true;
        step(*dialog);
        if (!dialog->isVisible()) return;
        // A dialog that asks before it closes is told yes.
        BoxAnswerer answerer;
        dialog->reject();
    });
    trigger();
    EXPECT_TRUE(reached) << "no modal dialog opened";
}

QColor WorkstationTest::PixelAt(CDeviceButton& button, int x, int y)
{
    return button.grab().toImage().pixelColor(x, y);
}

void WorkstationTest::SaveScreenshot(const QImage& image, const QString& name)
{
    const QString folder = QStringLiteral(KESTRION_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(image.save(folder + QLatin1Char('/') + name)) << name.toStdString();
}
