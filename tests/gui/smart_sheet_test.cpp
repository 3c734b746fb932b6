#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/smart/normalized_smart_sheet.h"
#include "ui/smart/smart_page.h"
#include "workstation_fixture.h"

namespace {

constexpr int kSmartDataCommand = 32785;

QString Field(QWidget& page, int controlId)
{
    auto* edit = page.findChild<QLineEdit*>(QString::number(controlId));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(controlId);
}

class SmartSheetTest : public WorkstationTest {
protected:
    // Opens the drive's device menu, chooses the SMART command and runs
    // step on the modal window that opens (the sheet or a message box).
    void OpenSmart(int bus, int targetId, const std::function<void(QDialog&)>& step)
    {
        CDeviceButton* button = Button(bus, targetId);
        ASSERT_NE(button, nullptr);
        QMenu* menu = OpenDeviceMenu(*button);
        ASSERT_NE(menu, nullptr);
        WithModalDialog([&] { ChooseItem(*menu, kSmartDataCommand); }, step);
    }
};

TEST_F(SmartSheetTest, MakerDriveShowsItsTabsReadOnlyWithOnlyExit)
{
    Start("");  // the built-in bench: bus 0, target 0 is a maker drive
    OpenSmart(0, 0, [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(),
                  "Smart Data - \\\\.\\physicaldrive0: MORVANE MVX-18LW, serial 3KA04417");
        auto* tabs = dialog.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
        EXPECT_EQ(captions, (QStringList{"Status Log Page (page code 2Fh)",
                                         "Reallocated Sector Count (parameter code 4h)",
                                         "Recovered Data Error Rate  (parameter code 32h)",
                                         "Spinup Retries (parameter code 5Bh)",
                                         "Disk Temperature (parameter code 117h)",
                                         "Track Following Errors (NOT Posted)  (parameter code 145h)"}));
        EXPECT_EQ(tabs->currentIndex(), 0);

        QWidget* status = tabs->widget(0);
        EXPECT_EQ(status->objectName(), "CSmartLog2F");
        EXPECT_EQ(status->property("dialogId").toInt(), 141);
        EXPECT_EQ(Field(*status, 1058), "00h");
        EXPECT_EQ(Field(*status, 1060), "34");
        EXPECT_EQ(Field(*status, 1064), "65");

        QWidget* temperature = tabs->widget(4);
        EXPECT_EQ(temperature->objectName(), "CDiscTemp");
        EXPECT_EQ(Field(*temperature, 1101), "34");
        EXPECT_EQ(Field(*temperature, 1103), "300");

        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();

        // Each field carries its label.
        const QLabel* named = nullptr;
        for (const QLabel* label : temperature->findChildren<QLabel*>())
            if (label->buddy() && label->buddy()->objectName() == "1107") named = label;
        ASSERT_NE(named, nullptr);
        EXPECT_EQ(named->text(), "Power on hours at which the Coldest Temperature was achieved");

        QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 1);
        EXPECT_EQ(buttons[0]->text(), "Exit");
        EXPECT_EQ(buttons[0]->objectName(), "1");
        tabs->setCurrentIndex(4);
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("smart-data.png"));
        QTest::mouseClick(buttons[0], Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
    });
}

}  // namespace
