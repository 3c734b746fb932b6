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

class MainWindowTest : public WorkstationTest {};

TEST_F(MainWindowTest, FrameHasItsTitleAndStatusPanes)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    EXPECT_EQ(Frame().windowTitle(), "Kestrion");
    EXPECT_EQ(Frame().IdleMessage(), "Ready");
    for (const char* id : {"59137", "59138", "59139"}) {
        auto* pane = Frame().statusBar()->findChild<QLabel*>(QString::fromLatin1(id));
        ASSERT_NE(pane, nullptr) << id;
    }
    EXPECT_EQ(Frame().statusBar()->findChild<QLabel*>("59137")->text(), "CAP");
    EXPECT_EQ(Frame().statusBar()->findChild<QLabel*>("59138")->text(), "NUM");
    EXPECT_EQ(Frame().statusBar()->findChild<QLabel*>("59139")->text(), "SCRL");
    // Without a display that tells the locks, the panes are greyed.
    EXPECT_FALSE(Frame().statusBar()->findChild<QLabel*>("59137")->isEnabled());
}

TEST_F(MainWindowTest, StatusBarItemHidesAndShowsTheBar)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    auto* toggle = Frame().findChild<QAction*>(QStringLiteral("59393"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(Frame().statusBar()->isVisible());
    toggle->trigger();
    EXPECT_FALSE(Frame().statusBar()->isVisible());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(Frame().statusBar()->isVisible());
}

TEST_F(MainWindowTest, NoDriveLeavesTheViewEmptyAndSaysHowToUseTheBench)
{
    Start(BenchJson({}));
    EXPECT_TRUE(View().Buttons().empty());
    EXPECT_EQ(g_controllers[0], nullptr);
    EXPECT_EQ(Frame().IdleMessage(), "No drives found on the simulated test bench.");

    // A machine without drives points at the bench.
    frame.reset();
    ClearDeviceTable();
    frame = MakeWorkstation(*catalog, false);
    frame->show();
    EXPECT_TRUE(View().Buttons().empty());
    EXPECT_EQ(Frame().IdleMessage(), "No drives found. Start with --bench to use the simulated test bench.");
}

TEST_F(MainWindowTest, NonDiskDeviceGetsNoButtonAndDiscoveryRunsOnce)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0, .deviceType = 5}, {.bus = 0, .targetId = 1}});
    EXPECT_EQ(Button(0, 0), nullptr);
    ASSERT_NE(Button(0, 1), nullptr);
    EXPECT_EQ(Button(0, 1)->geometry().top(), 45) << "the next disk takes the first row";
    EXPECT_FALSE(View().ScanPending());

    const size_t buttons = View().Buttons().size();
    Frame().hide();
    Frame().show();
    View().OnInitialUpdate();
    EXPECT_EQ(View().Buttons().size(), buttons);
}

TEST_F(MainWindowTest, AboutBoxNamesTheProgramAndItsVersion)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    auto* about = Frame().findChild<QAction*>(QStringLiteral("57664"));
    ASSERT_NE(about, nullptr);
    WithModalDialog([&] { about->trigger(); },
                    [](QDialog& dialog) {
                        EXPECT_EQ(dialog.windowTitle(), "About Kestrion");
                        EXPECT_EQ(dialog.objectName(), "100");
                        QStringList texts;
                        for (const QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
                        EXPECT_TRUE(texts.contains(QStringLiteral("Kestrion Version " KESTRION_VERSION)));
                        dialog.accept();
                    });
}

TEST_F(MainWindowTest, ExitClosesTheWindow)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}});
    auto* exit = Frame().findChild<QAction*>(QStringLiteral("57665"));
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_FALSE(Frame().isVisible());
}

TEST(StartOptionsTest, BenchTakesAnOptionalFile)
{
    StartOptions options;
    QString error;
    ASSERT_TRUE(ParseStartOptions({"kestrion"}, options, error)) << error.toStdString();
    EXPECT_FALSE(options.bench);

    ASSERT_TRUE(ParseStartOptions({"kestrion", "--bench"}, options, error)) << error.toStdString();
    EXPECT_TRUE(options.bench);
    EXPECT_TRUE(options.benchFile.isEmpty());

    ASSERT_TRUE(ParseStartOptions({"kestrion", "--bench", "lab.json"}, options, error));
    EXPECT_EQ(options.benchFile, "lab.json");

    ASSERT_TRUE(ParseStartOptions({"kestrion", "--bench=lab2.json"}, options, error));
    EXPECT_TRUE(options.bench);
    EXPECT_EQ(options.benchFile, "lab2.json");

    EXPECT_FALSE(ParseStartOptions({"kestrion", "lab.json"}, options, error));
    EXPECT_TRUE(error.contains("--bench"));
    for (const QStringList& empty : {QStringList{"kestrion", "--bench", ""}, QStringList{"kestrion", "--bench="}}) {
        EXPECT_FALSE(ParseStartOptions(empty, options, error)) << empty.join(' ').toStdString();
        EXPECT_EQ(error, "The bench file name is empty (--bench alone is the built-in bench)");
    }
    EXPECT_FALSE(ParseStartOptions({"kestrion", "--bench", "a.json", "b.json"}, options, error));
    EXPECT_FALSE(ParseStartOptions({"kestrion", "--frobnicate"}, options, error));
    EXPECT_TRUE(error.contains("frobnicate"));
}

TEST(StartOptionsTest, BrokenBenchFileIsRefusedWithFileAndLine)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("broken.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\n  \"buses\": 1,\n  \"devices\": [\n    { \"bus\": 0, \"targetId\": \n  ]\n}\n");
    file.close();

    StartOptions options;
    options.bench = true;
    options.benchFile = path;
    QString error;
    EXPECT_EQ(OpenStartCatalog(options, error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("broken.json"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QRegularExpression(QStringLiteral(":[45]\\b")))) << error.toStdString();

    options.benchFile = folder.filePath(QStringLiteral("absent.json"));
    EXPECT_EQ(OpenStartCatalog(options, error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("absent.json"))) << error.toStdString();

    options.benchFile.clear();
    EXPECT_NE(OpenStartCatalog(options, error), nullptr) << "the built-in bench";
}

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
