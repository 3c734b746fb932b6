#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>

#include "drives/device_entry.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

QString FieldText(QDialog& dialog, const char* controlId)
{
    auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(controlId));
    return edit ? edit->text() : QStringLiteral("<no control %1>").arg(QString::fromLatin1(controlId));
}

class DeviceMenuTest : public WorkstationTest {};

TEST_F(DeviceMenuTest, InquiryActsOnTheDriveWhoseMenuWasOpenedByBusAndTarget)
{
    BenchDrive onBus0{.bus = 0, .targetId = 5, .product = "KST-BUS0", .serial = "SERIAL05"};
    BenchDrive onBus1{.bus = 1, .targetId = 5, .product = "KST-BUS1", .serial = "SERIAL15"};
    Start(std::vector<BenchDrive>{onBus0, onBus1});
    CDeviceButton* button = Button(1, 5);
    ASSERT_NE(button, nullptr);
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);

    QString serial, product, bus, target;
    WithModalDialog([&] { ChooseItem(*menu, 32784); },
                    [&](QDialog& dialog) {
                        serial = FieldText(dialog, "1001");
                        product = FieldText(dialog, "1004");
                        target = FieldText(dialog, "1020");
                        bus = FieldText(dialog, "1019");
                        dialog.reject();
                    });
    EXPECT_EQ(serial, "SERIAL15");
    EXPECT_EQ(product.trimmed(), "KST-BUS1");
    EXPECT_EQ(target, "5");
    EXPECT_EQ(bus, "1");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(DeviceMenuTest, DisabledCommandDoesNothingWhenTriggered)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    QAction* smart = View().CommandAction(32785);
    ASSERT_NE(smart, nullptr);
    smart->trigger();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    bool ran = false;
    View().SetCommandHandler(32785, [&ran] { ran = true; });
    EXPECT_TRUE(smart->isEnabled());
    smart->trigger();
    EXPECT_TRUE(ran);
    View().SetCommandHandler(32785, nullptr);
    EXPECT_FALSE(smart->isEnabled());
}


}  // namespace
