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

QStringList ItemIds(const QMenu& menu)
{
    QStringList ids;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator()) ids << action->objectName();
    }
    return ids;
}

QMenu* MainMenu(CMainFrame& frame, const QString& title)
{
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->text() == title) return action->menu();
    }
    return nullptr;
}

// On a real display the pointer's move arrives a little later.
bool ShowsMessage(CMainFrame& frame, const char* text)
{
    return QTest::qWaitFor([&] { return frame.statusBar()->currentMessage() == QString::fromUtf8(text); }, 2000);
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

TEST_F(DeviceMenuTest, NoDeviceBeforeAnyMenuWasOpened)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    EXPECT_EQ(View().GetCurrentDevice(), nullptr);
    View().OnInquiry();  // must neither crash nor open a dialog
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DeviceMenuTest, DeviceMenuOffersInquiryAndTheDriveCommandsOfLaterSubsystemsGreyed)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    QMenu* menu = button->DeviceMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "scsi device");
    EXPECT_EQ(ItemIds(*menu), (QStringList{"32784", "32785", "32791"}));

    const QList<QAction*> items = menu->actions();
    EXPECT_EQ(items[0]->text(), "&Inquiry");
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_EQ(items[0]->statusTip(), "Display basic inquiry information");
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_EQ(items[1]->statusTip(), "Display the Normalized SMART data");
    EXPECT_TRUE(items[2]->isEnabled());
    EXPECT_EQ(items[2]->statusTip(), "Begin reading mode sense data");
}

TEST_F(DeviceMenuTest, MainMenuCarriesTheFrameCommandsTestsAndDownload)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    QStringList titles;
    for (QAction* action : Frame().menuBar()->actions()) titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&Files", "&View", "&Test", "&Utilities", "&Help"}));

    QMenu* files = MainMenu(Frame(), "&Files");
    QMenu* view = MainMenu(Frame(), "&View");
    QMenu* test = MainMenu(Frame(), "&Test");
    QMenu* utilities = MainMenu(Frame(), "&Utilities");
    QMenu* help = MainMenu(Frame(), "&Help");
    ASSERT_TRUE(files && view && test && utilities && help);
    EXPECT_EQ(ItemIds(*files), QStringList{"57665"});
    EXPECT_EQ(files->actions()[0]->text(), "E&xit");
    EXPECT_EQ(ItemIds(*view), QStringList{"59393"});
    EXPECT_EQ(view->actions()[0]->text(), "&Status Bar");
    EXPECT_EQ(ItemIds(*utilities), (QStringList{"32789", "32785", "32791"}));
    EXPECT_NE(utilities->actions()[2], View().CommandAction(32785)) << "not the device menu's own item";
    EXPECT_EQ(utilities->actions()[0]->text(), "&Download File");
    EXPECT_TRUE(help->actions()[0]->isSeparator());
    EXPECT_GT(help->actionGeometry(help->actions()[0]).height(), 0) << "the separator is drawn";
    EXPECT_EQ(help->actions()[1]->text(), "&About Kestrion...");
    EXPECT_EQ(help->actions()[1]->objectName(), "57664");

    const std::vector<std::pair<QString, QString>> tests{
        {"101", "perform quick test on the selected drives"},
        {"102", "perform longer more complete test on selected drives"},
        {"32778", "Select subtests and run them on the selected drives"},
        {"32774", "Drive Self Test"},
        {"32792", "perform DST only on selected drives"},
        {"32793", "perform DST on all drives "},
        {"32794", "Select a file for DST logging"},
    };
    const QList<QAction*> items = test->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(tests.size()));
    for (size_t i = 0; i < tests.size(); ++i) {
        EXPECT_EQ(items[i]->objectName(), tests[i].first);
        EXPECT_EQ(items[i]->statusTip(), tests[i].second);
        EXPECT_TRUE(items[i]->isEnabled()) << "every command has its subsystem";
    }
    EXPECT_TRUE(utilities->actions()[0]->isEnabled());
}

TEST_F(DeviceMenuTest, StatusBarTellsWhatTheItemUnderThePointerDoes)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    QMenu* utilities = MainMenu(Frame(), "&Utilities");
    ASSERT_NE(utilities, nullptr);
    utilities->popup(Frame().mapToGlobal(QPoint(100, 30)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(utilities));
    QAction* download = utilities->actions()[0];
    QTest::mouseMove(utilities, utilities->actionGeometry(download).center());
    EXPECT_TRUE(ShowsMessage(Frame(), "Download Microcode file")) << Frame().statusBar()->currentMessage().toStdString();
    utilities->close();
    EXPECT_TRUE(ShowsMessage(Frame(), ""));

    // An enabled item of a device menu, and the disabled one below it.
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    QTest::mouseMove(menu, menu->actionGeometry(menu->actions()[0]).center());
    EXPECT_TRUE(ShowsMessage(Frame(), "Display basic inquiry information"));
    QTest::mouseMove(menu, menu->actionGeometry(menu->actions()[1]).center());
    EXPECT_TRUE(ShowsMessage(Frame(), "Display the Normalized SMART data"));
    menu->close();
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

// The one-drive sheets from the main menu: the one selected drive, whatever
// drive's menu was used last; from a device menu: that menu's drive.
class OneDriveSheetTest : public DeviceMenuTest, public ::testing::WithParamInterface<int> {
protected:
    // The sheet's title, or the text of the message box shown instead.
    QString Shown(const std::function<void()>& trigger)
    {
        QString shown;
        WithModalDialog(trigger, [&](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            shown = box ? box->text() : dialog.windowTitle();
        });
        return shown;
    }
    QString FromUtilities()
    {
        QMenu* utilities = MainMenu(Frame(), "&Utilities");
        QAction* item = nullptr;
        for (QAction* action : utilities->actions())
            if (action->objectName() == QString::number(GetParam())) item = action;
        return item ? Shown([item] { item->trigger(); }) : QStringLiteral("<no item>");
    }
};

TEST_P(OneDriveSheetTest, UtilitiesActOnTheOneSelectedDriveAndTheDeviceMenuOnItsOwn)
{
    Start(std::string());
    const QString name = GetParam() == 32785 ? QStringLiteral("SMART Data") : QStringLiteral("Mode Pages");
    const QString title = GetParam() == 32785 ? QStringLiteral("Smart Data") : QStringLiteral("Mode Sense Pages");
    EXPECT_EQ(FromUtilities().toStdString(),
              "No drive is selected. " + name.toStdString() +
                  " works on one drive: select it by clicking its button, or use the menu of the drive's own button "
                  "(its arrow).");
    ClickAt(*Button(0, 0), 50);
    ClickAt(*Button(0, 1), 50);
    EXPECT_TRUE(FromUtilities().startsWith(QStringLiteral("2 drives are selected. ") + name + " works on one drive"));

    ClickAt(*Button(0, 0), 50);
    QMenu* menu = OpenDeviceMenu(*Button(0, 0));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Shown([&] { ChooseItem(*menu, GetParam()); }).toStdString(),
              title.toStdString() + " - \\\\.\\physicaldrive0: MORVANE MVX-18LW, serial 3KA04417");
    EXPECT_EQ(FromUtilities().toStdString(),
              title.toStdString() + " - \\\\.\\physicaldrive1: MORVANE MVX-36LW, serial 3KB11090")
        << "the selected drive, not the one whose menu was used last";
}

INSTANTIATE_TEST_SUITE_P(Sheets, OneDriveSheetTest, ::testing::Values(32785, 32791));

}  // namespace
