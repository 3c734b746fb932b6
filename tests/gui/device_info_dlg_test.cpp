#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "ui/shell/device_button.h"
#include "ui/shell/device_info_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "workstation_fixture.h"

namespace {

QCheckBox* Check(QDialog& dialog, int controlId) { return dialog.findChild<QCheckBox*>(QString::number(controlId)); }

class DeviceInfoDialogTest : public WorkstationTest {
protected:
    // Opens the drive's menu, chooses "&Inquiry" and runs step on the dialog.
    void Inquire(int bus, int targetId, const std::function<void(QDialog&)>& step)
    {
        CDeviceButton* button = Button(bus, targetId);
        ASSERT_NE(button, nullptr);
        QMenu* menu = OpenDeviceMenu(*button);
        ASSERT_NE(menu, nullptr);
        WithModalDialog([&] { ChooseItem(*menu, 32784); }, step);
    }
};

TEST_F(DeviceInfoDialogTest, OkWritesTheSelectionBackAndEscKeepsIt)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}, {.bus = 0, .targetId = 1}});
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    ClickAt(*button, 50);
    ASSERT_TRUE(button->Entry().selected);

    // Esc with the box cleared: nothing changes.
    Inquire(0, 0, [](QDialog& dialog) {
        QCheckBox* selected = Check(dialog, 1039);
        ASSERT_NE(selected, nullptr);
        EXPECT_TRUE(selected->isChecked());
        selected->setChecked(false);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(button->Entry().selected);
    EXPECT_EQ(PixelAt(*button, 10, 10), QColor(255, 255, 50));

    // OK with the box cleared: red and no longer selected.
    Inquire(0, 0, [](QDialog& dialog) {
        Check(dialog, 1039)->setChecked(false);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
    });
    EXPECT_FALSE(button->Entry().selected);
    EXPECT_FALSE(AnyDeviceSelected());
    EXPECT_EQ(PixelAt(*button, 10, 10), QColor(255, 50, 50));

    // OK with the box set on the other drive: yellow.
    Inquire(0, 1, [](QDialog& dialog) {
        Check(dialog, 1039)->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    CDeviceButton* other = Button(0, 1);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->Entry().selected);
    EXPECT_EQ(PixelAt(*other, 10, 10), QColor(255, 255, 50));
}

}  // namespace
