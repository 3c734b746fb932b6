#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "workstation_fixture.h"

namespace {

constexpr int kSmartDataCommand = 32785;

class SmartSheetTest : public WorkstationTest {};

// The built-in bench: bus 0, target 0 is a maker drive, whose sheet has a tab per page and parameter.
TEST_F(SmartSheetTest, MakerDriveShowsItsTabsReadOnlyWithOnlyExit)
{
    Start("");
    WithDeviceDialog(0, 0, kSmartDataCommand, [](QDialog& dialog) {
        auto* tabs = dialog.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        EXPECT_EQ(tabs->count(), 6);
        EXPECT_EQ(tabs->currentIndex(), 0);
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        // Each field carries its label.
        QWidget* temperature = tabs->widget(4);
        for (QLineEdit* edit : temperature->findChildren<QLineEdit*>()) {
            int labels = 0;
            for (const QLabel* label : temperature->findChildren<QLabel*>()) labels += label->buddy() == edit;
            EXPECT_EQ(labels, 1) << edit->objectName().toStdString();
        }
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
