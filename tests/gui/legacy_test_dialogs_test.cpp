#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <thread>

#include "../legacytest/legacy_test_support.h"
#include "legacytest/ui/legacy_test_commands.h"
#include "legacytest/ui/test_results_dlg.h"
#include "scsi/stop.h"
#include "shell/device_entry.h"
#include "shell/device_table.h"
#include "shell/ui/device_button.h"
#include "shell/ui/kestrion_view.h"
#include "legacytest/ui/paced_output.h"
#include "workstation_fixture.h"

namespace {

constexpr int kQuick = 101;
constexpr int kLong = 102;
constexpr int kSelect = 32778;

// Two drives with the geometry every subtest needs.
std::string TwoDrives()
{
    const char* drive = R"({"bus": 0, "targetId": %d, "vendor": "MORVANE", "product": "MVX-36LW", "revision": "0412",
        "serial": "SN00000%d", "blocks": 400000,
        "geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000}})";
    char first[400];
    char second[400];
    std::snprintf(first, sizeof first, drive, 0, 0);
    std::snprintf(second, sizeof second, drive, 1, 1);
    return std::string("{\"buses\": 1, \"devices\": [") + first + "," + second + "]}";
}

// Holds the first command with an opcode inside the drive until released.
class Gate {
public:
    void Hold(uint8_t opcode, legacytest::TapDevice& tap)
    {
        tap.hook = [this, opcode](ScsiRequest& request, bool&) {
            if (request.Cdb[0] != opcode) return false;
            std::unique_lock lock(mutex);
            if (held) return false;
            held = inside = true;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
            inside = false;
            return false;
        };
    }
    bool Inside()
    {
        std::lock_guard lock(mutex);
        return inside;
    }
    void Release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool inside = false;
    bool released = false;
};

class LegacyTestDialogsTest : public WorkstationTest {
protected:
    void TearDown() override
    {
        if (gate) gate->Release();
        if (Commands()) Commands()->Run().Wait();
        g_bStopRequested = 0;
        g_bNoAbort = 0;
        WorkstationTest::TearDown();
    }

    LegacyTestCommands* Commands() const
    {
        return frame ? View().findChild<LegacyTestCommands*>(QStringLiteral("legacyTestCommands")) : nullptr;
    }
    CTestResultsDlg* Results() const { return Commands()->Dialog(); }
    QPushButton* Button(int id) const { return Results()->findChild<QPushButton*>(QString::number(id)); }
    QString Report() const
    {
        QApplication::processEvents();
        return Results() ? Results()->OutputEdit().toPlainText() : QString();
    }
    void Trigger(int command) { View().CommandAction(command)->trigger(); }
    void Select(int slot) { SetDeviceSelected(*g_devices[static_cast<size_t>(slot)], true); }
    legacytest::TapDevice& Tap(int slot)
    {
        DeviceEntry& entry = *g_devices[static_cast<size_t>(slot)];
        auto tap = std::make_shared<legacytest::TapDevice>(entry.handle);
        entry.handle = tap;
        return *tap;
    }
    // Runs the worker to its end and lets the report reach the edit.
    void Finish()
    {
        Commands()->Run().Wait();
        QTRY_VERIFY_WITH_TIMEOUT(Report().contains(QStringLiteral("End of legacy test(s)")) || !Results(), 5000);
        QApplication::processEvents();
    }

    std::unique_ptr<Gate> gate;
};

TEST_F(LegacyTestDialogsTest, TestCommandsAreEnabled)
{
    Start(TwoDrives());
    for (int id : {kQuick, kLong, kSelect}) {
        ASSERT_NE(View().CommandAction(id), nullptr) << id;
        EXPECT_TRUE(View().CommandAction(id)->isEnabled()) << id;
    }
}

TEST_F(LegacyTestDialogsTest, QuickTestOpensTheResultsDialogWithItsControls)
{
    Start(TwoDrives());
    Trigger(kQuick);
    ASSERT_NE(Results(), nullptr);
    CTestResultsDlg& dialog = *Results();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.objectName(), "140");
    EXPECT_EQ(dialog.windowTitle(), "Display Current Test Results");
    EXPECT_EQ(Button(1)->text(), "START");
    EXPECT_EQ(Button(1091)->text(), "STOP");
    EXPECT_EQ(Button(2)->text(), "CANCEL");
    auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1052"));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    for (const char* hidden : {"1053", "1054", "1055", "1056"}) {
        QWidget* control = dialog.findChild<QWidget*>(QString::fromLatin1(hidden));
        ASSERT_NE(control, nullptr) << hidden;
        EXPECT_FALSE(control->isVisible()) << hidden;
    }
    EXPECT_EQ(*dialog.Selection(), QuickSelection());
    EXPECT_TRUE(Button(1)->isEnabled());
}

TEST_F(LegacyTestDialogsTest, StartRunsTheSelectedDrivesWhileTheirButtonsAreGreen)
{
    Start(TwoDrives());
    Select(1);
    auto& tap = Tap(1);
    std::atomic<uint32_t> colour{0};
    tap.hook = [&](ScsiRequest&, bool&) {
        colour = g_devices[1]->baseColour.load();
        return false;
    };
    Trigger(kQuick);
    QTest::mouseClick(Button(1), Qt::LeftButton);
    EXPECT_FALSE(Button(1)->isEnabled());
    Finish();
    const QString report = Report();
    EXPECT_TRUE(report.startsWith(QStringLiteral("Begin legacy test(s) for drive physicaldrive1\nBegin drive read test\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("Finished SMART recheck\nEnd of legacy test(s) for drive physicaldrive1")));
    EXPECT_FALSE(report.contains(QStringLiteral("Begin Scan of Entire Drive")));
    EXPECT_FALSE(report.contains(QStringLiteral("physicaldrive0")));
    EXPECT_EQ(colour.load(), kColourUnderTest);
    EXPECT_EQ(g_devices[1]->baseColour.load(), kColourSelected);
    // START stays disabled for the life of this window.
    EXPECT_FALSE(Button(1)->isEnabled());
    QTest::mouseClick(Button(1), Qt::LeftButton);
    EXPECT_FALSE(Commands()->Run().Running());
}

TEST_F(LegacyTestDialogsTest, SubtestSelectionStartsFromItsDefaultsAndKeepsWhatOkTook)
{
    Start(TwoDrives());
    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), "133");
        EXPECT_EQ(dialog.windowTitle(), "Subtest Selection");
        const int checked[] = {1024, 1025, 1026, 1027, 1036};
        for (int id : {1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1036, 1037, 1038}) {
            auto* box = dialog.findChild<QCheckBox*>(QString::number(id));
            ASSERT_NE(box, nullptr) << id;
            EXPECT_EQ(box->isChecked(), std::find(std::begin(checked), std::end(checked), id) != std::end(checked)) << id;
        }
        EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("1035")), nullptr);
        EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("1031"))->text(), "Rnd Verify 1000 to 4000 blocks");
        // The ampersand is shown, not taken for a shortcut.
        EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("1034"))->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
                  "Verify Sect Adj to P & G List");
        EXPECT_TRUE(dialog.findChild<QCheckBox*>(QStringLiteral("1034"))->text().contains(QStringLiteral("P && G")));
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("subtest-selection.png"));
        // Changed, then cancelled: nothing is kept and nothing opens.
        dialog.findChild<QCheckBox*>(QStringLiteral("1028"))->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("2")), Qt::LeftButton);
    });
    EXPECT_EQ(Results(), nullptr);
    EXPECT_EQ(Commands()->CustomSelection(), CustomSelectionAtStart());

    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        EXPECT_FALSE(dialog.findChild<QCheckBox*>(QStringLiteral("1028"))->isChecked());
        dialog.findChild<QCheckBox*>(QStringLiteral("1036"))->setChecked(false);
        dialog.findChild<QCheckBox*>(QStringLiteral("1038"))->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
    });
    ASSERT_NE(Results(), nullptr);
    SubtestSelection expected;
    for (int index : {0, 1, 2, 3, 13}) expected.run[static_cast<size_t>(index)] = 1;
    EXPECT_EQ(Commands()->CustomSelection(), expected);
    EXPECT_EQ(*Results()->Selection(), expected);
}

TEST_F(LegacyTestDialogsTest, AnotherTestCommandWhileTheDialogIsOpenOnlyChangesTheNextStartsSelection)
{
    Start(TwoDrives());
    Trigger(kQuick);
    CTestResultsDlg* first = Results();
    Trigger(kLong);
    EXPECT_EQ(Results(), first) << "the same window";
    EXPECT_EQ(*Results()->Selection(), LongSelection());
    EXPECT_FALSE(Commands()->Run().Running());
}

TEST_F(LegacyTestDialogsTest, StopWithNothingUnderTestChangesNothingAndCancelCloses)
{
    Start(TwoDrives());
    Select(0);
    Trigger(kQuick);
    QTest::mouseClick(Button(1091), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(g_bStopRequested.load(), 0);
    EXPECT_EQ(g_devices[0]->baseColour.load(), kColourSelected);
    ASSERT_NE(Results(), nullptr);
    QTest::mouseClick(Button(2), Qt::LeftButton);
    QTRY_VERIFY(Results() == nullptr);
}

TEST_F(LegacyTestDialogsTest, CancelDoesNothingWhileTheDriveTestsItself)
{
    Start(TwoDrives());
    Trigger(kQuick);
    g_bNoAbort = 1;
    QTest::mouseClick(Button(2), Qt::LeftButton);
    QTest::keyClick(Results(), Qt::Key_Escape);
    Results()->close();
    QApplication::processEvents();
    ASSERT_NE(Results(), nullptr);
    EXPECT_TRUE(Results()->isVisible());
    g_bNoAbort = 0;
    QTest::keyClick(Results(), Qt::Key_Escape);
    QTRY_VERIFY(Results() == nullptr);
}

TEST_F(LegacyTestDialogsTest, StopDuringARunEndsItAtTheNextCommand)
{
    Start(TwoDrives());
    Select(0);
    Select(1);
    gate = std::make_unique<Gate>();
    gate->Hold(0x28, Tap(0));  // the first read of drive 0
    Trigger(kQuick);
    QTest::mouseClick(Button(1), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(gate->Inside(), 10000);
    EXPECT_EQ(g_devices[0]->baseColour.load(), kColourUnderTest);
    QTest::mouseClick(Button(1091), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(g_bStopRequested.load(), 1);
    EXPECT_EQ(g_devices[0]->baseColour.load(), kColourSelected) << "back to idle at once";
    gate->Release();
    Commands()->Run().Wait();
    EXPECT_TRUE(Commands()->Run().Report().stopped);
    EXPECT_EQ(g_bStopRequested.load(), 0);
    const QString report = Report();
    EXPECT_FALSE(report.contains(QStringLiteral("End of legacy test(s)")));
    EXPECT_FALSE(report.contains(QStringLiteral("physicaldrive1")));
    ASSERT_NE(Results(), nullptr) << "STOP leaves the dialog open";
}

TEST_F(LegacyTestDialogsTest, NewWindowWaitsForAStoppedWorkerStillInsideACommand)
{
    Start(TwoDrives());
    Select(0);
    gate = std::make_unique<Gate>();
    gate->Hold(0x00, Tap(0));
    Trigger(kQuick);
    QTest::mouseClick(Button(1), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(gate->Inside(), 10000);
    QTest::mouseClick(Button(2), Qt::LeftButton);  // CANCEL: stop and close
    QTRY_VERIFY(Results() == nullptr);
    Trigger(kQuick);
    ASSERT_NE(Results(), nullptr);
    EXPECT_FALSE(Button(1)->isEnabled()) << "the stopped worker has not ended";
    gate->Release();
    Commands()->Run().Wait();
    QTRY_VERIFY(Button(1)->isEnabled());
    QTest::mouseClick(Button(1), Qt::LeftButton);
    Finish();
    EXPECT_TRUE(Report().contains(QStringLiteral("End of legacy test(s) for drive physicaldrive0")));
}

TEST_F(LegacyTestDialogsTest, OutputStaysResponsiveThroughALongReport)
{
    Start(TwoDrives());
    Trigger(kQuick);
    // A drive that fails TEST UNIT READY as fast as it is asked, for long.
    PacedOutput output(Results()->OutputEdit());
    std::atomic<size_t> mostPending{0};
    std::thread writer([&] {
        for (int i = 0; i < 200000; ++i) {
            output.Append("\r\nTEST UNIT FAILED\r\n");
            mostPending = std::max(mostPending.load(), output.Pending());
        }
    });
    // The user-interface thread keeps serving its timers while the report grows.
    QElapsedTimer clock;
    clock.start();
    qint64 longestGap = 0;
    qint64 last = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(10);
    while (Results()->OutputEdit().blockCount() <= 400000 && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    writer.join();
    EXPECT_GT(Results()->OutputEdit().blockCount(), 400000) << "every line arrived";
    EXPECT_LT(longestGap, 250);
    EXPECT_LE(mostPending.load(), PacedOutput::kHighWater + 20) << "the writer waited for the window";
}

TEST_F(LegacyTestDialogsTest, ScreenshotOfAFinishedRun)
{
    // A drive whose grown defect has an unreadable neighbour: the report
    // shows the failure, and the run goes on to its end.
    Start(R"({"buses": 1, "devices": [{"bus": 0, "targetId": 3, "vendor": "MORVANE", "product": "MVX-73LC",
        "serial": "3KC20735", "blocks": 400000, "geometry": {"cylinders": 100, "heads": 4, "sectorsPerTrack": 1000},
        "defects": {"primary": [[12, 0, 17]], "grown": [[15, 2, 233]]}, "unreadableBlocks": [62233]}]})");
    Select(0);
    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        dialog.findChild<QCheckBox*>(QStringLiteral("1028"))->setChecked(true);
        dialog.findChild<QCheckBox*>(QStringLiteral("1034"))->setChecked(true);
        dialog.findChild<QCheckBox*>(QStringLiteral("1036"))->setChecked(false);
        dialog.accept();
    });
    ASSERT_NE(Results(), nullptr);
    Results()->resize(640, 520);
    QTest::mouseClick(Button(1), Qt::LeftButton);
    Finish();
    EXPECT_TRUE(Report().contains(QStringLiteral("read block Failure, f, 2, e8")));
    Results()->OutputEdit().verticalScrollBar()->setValue(Results()->OutputEdit().verticalScrollBar()->maximum());
    QApplication::processEvents();
    SaveScreenshot(Results()->grab().toImage(), QStringLiteral("legacy-test-results.png"));
}

}  // namespace
