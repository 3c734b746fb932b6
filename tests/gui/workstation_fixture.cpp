#include "workstation_fixture.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include "box_answerer.h"
#include "drives/device_table.h"
#include "platform/device_catalog.h"
#include "sim/sim_catalog.h"
#include "ui/app/workstation.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"

std::string BenchJson(const std::vector<BenchDrive>& drives)
{
    nlohmann::json devices = nlohmann::json::array();
    int buses = 1;
    for (const BenchDrive& drive : drives) {
        nlohmann::json capabilities = nlohmann::json::object();
        for (const std::string& name : drive.capabilities) capabilities[name] = true;
        devices.push_back({{"bus", drive.bus},
                           {"targetId", drive.targetId},
                           {"deviceType", drive.deviceType},
                           {"vendor", drive.vendor},
                           {"product", drive.product},
                           {"revision", drive.revision},
                           {"serial", drive.serial},
                           {"lastLba", drive.lastLba},
                           {"blockLength", drive.blockLength},
                           {"capabilities", capabilities}});
        buses = std::max(buses, drive.bus + 1);
    }
    return nlohmann::json{{"buses", buses}, {"devices", devices}}.dump(2);
}

WorkstationTest::WorkstationTest() = default;

WorkstationTest::~WorkstationTest() = default;

void WorkstationTest::TearDown()
{
    frame.reset();
    catalog.reset();
    ClearDeviceTable();
}

void WorkstationTest::Start(const std::string& benchJson)
{
    ClearDeviceTable();
    std::string error;
    catalog = benchJson.empty() ? MakeBenchCatalog("", error) : MakeBenchCatalogFromJson(benchJson, error);
    ASSERT_TRUE(catalog) << error;
    frame = MakeWorkstation(*catalog, true);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
}

CKestrionView& WorkstationTest::View() const { return *frame->View(); }

CDeviceButton* WorkstationTest::Button(int bus, int targetId) const
{
    return View().ButtonFor(static_cast<uint8_t>(bus), static_cast<uint8_t>(targetId));
}

void WorkstationTest::ClickAt(CDeviceButton& button, int x)
{
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(x, button.height() / 2));
}

QMenu* WorkstationTest::OpenDeviceMenu(CDeviceButton& button)
{
    ClickAt(button, button.width() - 1);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    }
    return menu;
}

void WorkstationTest::ChooseItem(QMenu& menu, int commandId)
{
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QString::number(commandId)) chosen = action;
    }
    ASSERT_NE(chosen, nullptr) << "no item " << commandId;
    QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier, menu.actionGeometry(chosen).center());
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
