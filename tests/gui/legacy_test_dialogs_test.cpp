#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <thread>
#include <tuple>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "scsi/stop.h"
#include "support/tap_device.h"
#include "ui/legacytest/legacy_test_commands.h"
#include "ui/legacytest/paced_output.h"
#include "ui/legacytest/test_results_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kQuick = 101;
constexpr int kSelect = 32778;
constexpr int kInquiry = 32784;
constexpr int kStart = 1;
constexpr int kStop = 1091;
constexpr int kCancel = 2;
constexpr int kOk = 1;  // of the selection dialog
constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kModeSelect6 = 0x15;
constexpr uint8_t kWriteVerify10 = 0x2E;
constexpr uint8_t kRead10 = 0x28;
const QString kWaiting = QStringLiteral("Stopping: waiting for the drive's current command to end");
// The columns of a drive's row while every drive is tested at once.
enum { kDriveColumn, kSubtestColumn, kProgressColumn, kRateColumn, kTimeLeftColumn, kResultColumn, kStopColumn };

// Sets the selection dialog's boxes, each id on or off when negative, then
// clicks OK or Cancel.
void Choose(QDialog& dialog, std::initializer_list<int> boxes, int button)
{
    for (int id : boxes) dialog.findChild<QCheckBox*>(QString::number(std::abs(id)))->setChecked(id > 0);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QString::number(button)), Qt::LeftButton);
}

// Two drives with the geometry every subtest needs (two_drives.json); the
// second has a grown defect with an unreadable neighbour.
class LegacyTestDialogsTest : public WorkstationTest {
protected:
    void SetUp() override { Start("two_drives.json"); }
    void TearDown() override
    {
        for (const auto& held : gates) held->Release();
        if (Commands()) {
            Commands()->RunAtOnce().RequestStop();
            Commands()->RunAtOnce().Wait();
            Commands()->Run().Wait();
        }
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
    void Click(int id) const { QTest::mouseClick(Button(id), Qt::LeftButton); }
    QString Report() const
    {
        QApplication::processEvents();
        return Results() ? Results()->OutputEdit().toPlainText() : QString();
    }
    void Trigger(int command) { View().CommandAction(command)->trigger(); }
    void Select(int slot) { SetDeviceSelected(*g_devices[static_cast<size_t>(slot)], true); }
    TapDevice& Tap(int slot)
    {
        DeviceEntry& entry = *g_devices[static_cast<size_t>(slot)];
        auto tap = std::make_shared<TapDevice>(entry.handle);
        entry.handle = tap;
        return *tap;
    }
    // The drive in the slot holds the first command with the opcode until
    // the test releases it, as a hung command would.
    TapDevice& Hold(uint8_t opcode, int slot)
    {
        gate = gates.emplace_back(std::make_shared<CommandGate>(opcode)).get();
        TapDevice& tap = Tap(slot);
        Gated(tap, *gate);
        return tap;
    }
    // The quick test on the selected drives, until the held command is in the drive.
    void StartHeldRun()
    {
        Trigger(kQuick);
        Click(kStart);
        QTRY_VERIFY_WITH_TIMEOUT(gate->Inside(), 10000);
    }
    // The results window says the run waits for the drive.
    bool ShowsWaiting() const
    {
        auto* label = Results() ? Results()->findChild<QLabel*>(QStringLiteral("waitingLabel")) : nullptr;
        return label && label->isVisible() && label->text() == kWaiting;
    }
    // Runs the worker to its end and lets the report reach the edit.
    void Finish()
    {
        Commands()->Run().Wait();
        QTRY_VERIFY_WITH_TIMEOUT(Report().contains(QStringLiteral("End of legacy test(s)")) || !Results(), 5000);
        QApplication::processEvents();
    }

    std::vector<std::shared_ptr<CommandGate>> gates;  // one per held drive
    CommandGate* gate = nullptr;                      // of a run one drive at a time
};

// Drive 1's grown defect has an unreadable neighbour: the report shows the
// failure and the run goes on to its end.
TEST_F(LegacyTestDialogsTest, OneResultsWindowRunsTheLastChosenSelectionOnTheSelectedDrives)
{
    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        // The ampersand is shown, not taken for a shortcut.
        EXPECT_TRUE(dialog.findChild<QCheckBox*>(QStringLiteral("1034"))->text().contains(QStringLiteral("P && G")));
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("subtest-selection.png"));
        // Changed, then cancelled: nothing is kept and nothing opens.
        Choose(dialog, {1028}, kCancel);
    });
    EXPECT_EQ(Results(), nullptr);
    EXPECT_EQ(Commands()->CustomSelection(), CustomSelectionAtStart());
    // What OK takes is the dialog's defaults (subtests 1 to 4 and 12) as changed here.
    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        EXPECT_FALSE(dialog.findChild<QCheckBox*>(QStringLiteral("1028"))->isChecked());
        Choose(dialog, {1028, 1034, -1036}, kOk);
    });
    CTestResultsDlg* first = Results();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    SubtestSelection expected;
    for (int index : {0, 1, 2, 3, 4, 10}) expected.run[static_cast<size_t>(index)] = 1;
    EXPECT_EQ(Commands()->CustomSelection(), expected);
    EXPECT_EQ(*Results()->Selection(), expected);
    // Another test command only changes what the next START runs.
    Trigger(kQuick);
    EXPECT_EQ(Results(), first) << "the same window";
    EXPECT_EQ(*Results()->Selection(), QuickSelection());
    EXPECT_FALSE(Commands()->Run().Running());

    // STOP with nothing under test changes nothing.
    Select(1);
    Click(kStop);
    QApplication::processEvents();
    EXPECT_EQ(g_bStopRequested.load(), 0);
    Results()->resize(640, 520);
    Click(kStart);
    Finish();
    EXPECT_TRUE(Report().contains(QStringLiteral("End of legacy test(s) for drive physicaldrive1")));
    EXPECT_FALSE(Report().contains(QStringLiteral("physicaldrive0")));
    EXPECT_EQ(ButtonColour(*g_devices[1]), kColourSelected);
    // START stays disabled for the life of this window.
    EXPECT_FALSE(Button(kStart)->isEnabled());
    Click(kStart);
    EXPECT_FALSE(Commands()->Run().Running());
    Results()->OutputEdit().verticalScrollBar()->setValue(Results()->OutputEdit().verticalScrollBar()->maximum());
    QApplication::processEvents();
    SaveScreenshot(Results()->grab().toImage(), QStringLiteral("legacy-test-results.png"));

    // While a drive tests itself nothing closes the window; then Esc does.
    g_bNoAbort = 1;
    Click(kCancel);
    QTest::keyClick(Results(), Qt::Key_Escape);
    Results()->close();
    QApplication::processEvents();
    ASSERT_NE(Results(), nullptr);
    EXPECT_TRUE(Results()->isVisible());
    g_bNoAbort = 0;
    QTest::keyClick(Results(), Qt::Key_Escape);
    QTRY_VERIFY(Results() == nullptr);
}

// What the user may do to a drive while it is under test, before STOP or CANCEL.
enum class Touch { ClickItsButton, ClearSelectedForTest };

class StopWhateverTheButtonsShowTest : public LegacyTestDialogsTest,
                                       public ::testing::WithParamInterface<std::tuple<Touch, int>> {};

TEST_P(StopWhateverTheButtonsShowTest, TheRunStopsAtTheNextCommandAndTheDriveUnderTestKeepsItsSelection)
{
    Select(0);
    Select(1);
    Hold(kTestUnitReady, 0);
    StartHeldRun();
    const auto [touch, stopButton] = GetParam();
    CDeviceButton& drive = *WorkstationTest::Button(0, 0);
    if (touch == Touch::ClickItsButton) {
        ClickAt(drive, 50);
    } else {
        WithDeviceDialog(0, 0, kInquiry, [](QDialog& dialog) {
            auto* selected = dialog.findChild<QCheckBox*>(QStringLiteral("1039"));
            EXPECT_FALSE(selected->isEnabled());
            selected->setChecked(false);
            dialog.accept();
        });
    }
    EXPECT_TRUE(g_devices[0]->selected);
    EXPECT_EQ(PixelAt(drive, 10, 10), kGreen);
    EXPECT_FALSE(ShowsWaiting());
    Click(stopButton);
    QApplication::processEvents();
    EXPECT_EQ(g_bStopRequested.load(), 1);
    // The command is in the drive: the windows say what the run waits for.
    EXPECT_EQ(Frame().IdleMessage(), kWaiting);
    EXPECT_EQ(PixelAt(drive, 10, 10), kGreen) << "the drive still works on the command";
    if (stopButton == kCancel) {
        // Closed; a new window waits for the stopped worker, still inside its command.
        QTRY_VERIFY(Results() == nullptr);
        Trigger(kQuick);
        ASSERT_NE(Results(), nullptr);
        EXPECT_FALSE(Button(kStart)->isEnabled()) << "the stopped worker has not ended";
    } else if (touch == Touch::ClickItsButton) {
        SaveScreenshot(Results()->grab().toImage(), QStringLiteral("legacy-test-stopping.png"));
    }
    EXPECT_TRUE(ShowsWaiting());
    gate->Release();
    Commands()->Run().Wait();
    EXPECT_TRUE(Commands()->Run().Report().stopped);
    EXPECT_EQ(g_bStopRequested.load(), 0);
    QTRY_COMPARE(PixelAt(drive, 10, 10), kYellow);
    QTRY_COMPARE(Frame().IdleMessage(), QStringLiteral("Ready"));
    QTRY_VERIFY(!ShowsWaiting());
    if (stopButton == kStop) {
        EXPECT_FALSE(Report().contains(QStringLiteral("End of legacy test(s)")));
        EXPECT_FALSE(Report().contains(QStringLiteral("physicaldrive1"))) << "the next drive was not started";
        EXPECT_FALSE(Button(kStart)->isEnabled()) << "STOP leaves the window open, its START spent";
        return;
    }
    QTRY_VERIFY(Button(kStart)->isEnabled());
    Click(kStart);
    Finish();
    EXPECT_TRUE(Report().contains(QStringLiteral("End of legacy test(s) for drive physicaldrive1")));
}

INSTANTIATE_TEST_SUITE_P(Control, StopWhateverTheButtonsShowTest,
                         ::testing::Combine(::testing::Values(Touch::ClickItsButton, Touch::ClearSelectedForTest),
                                            ::testing::Values(kStop, kCancel)));

TEST_F(LegacyTestDialogsTest, QuitDuringARunAsksFirstAndEndsOnceTheRunHasPutBackWhatItChanged)
{
    Select(0);
    // The heads check's first write, after the SMART check changed its page.
    TapDevice& tap = Hold(kWriteVerify10, 0);
    StartHeldRun();
    EXPECT_TRUE(Quit(false).startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(g_bStopRequested.load(), 0) << "the run goes on";

    Quit(true);
    QApplication::processEvents();
    EXPECT_TRUE(Frame().isVisible()) << "not before the run has ended";
    EXPECT_EQ(g_bStopRequested.load(), 1);
    EXPECT_EQ(tap.WithOpcode(kModeSelect6).size(), 1u);
    gate->Release();
    QTRY_VERIFY_WITH_TIMEOUT(!Frame().isVisible(), 10000);
    EXPECT_FALSE(Commands()->Run().Running());
    EXPECT_TRUE(Commands()->Run().Report().stopped);
    EXPECT_EQ(tap.WithOpcode(kModeSelect6).size(), 2u) << "the informational exceptions page went back";
    EXPECT_EQ(tap.WithOpcode(kWriteVerify10).size(), 2u) << "and so did the block the check wrote";
}

TEST_F(LegacyTestDialogsTest, OutputStaysResponsiveThroughALongReport)
{
    Trigger(kQuick);
    // A drive that fails TEST UNIT READY as fast as it is asked, for long.
    PacedOutput output(Results()->OutputEdit());
    constexpr int kLines = 20000;  // well past what the writer may run ahead
    std::atomic<size_t> mostPending{0};
    std::thread writer([&] {
        for (int i = 0; i < kLines; ++i) {
            output.Append("\r\nTEST UNIT FAILED\r\n");
            mostPending = std::max(mostPending.load(), output.Pending());
        }
    });
    // Each turn of the event loop shows at most a slice, so the loop keeps
    // turning (its timers fire) while the report grows.
    QTextDocument& document = *Results()->OutputEdit().document();
    int turns = 0;
    int shownBefore = document.characterCount();
    int largestStep = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++turns;
        largestStep = std::max(largestStep, document.characterCount() - shownBefore);
        shownBefore = document.characterCount();
    });
    tick.start(0);
    // Bounded, and the writer let go, so a report that stops growing fails
    // the test instead of hanging it.
    const QDeadlineTimer deadline(std::chrono::seconds(60));
    while (Results()->OutputEdit().blockCount() <= 2 * kLines && !deadline.hasExpired())
        QApplication::processEvents();
    if (deadline.hasExpired()) output.Close();
    writer.join();
    EXPECT_GT(Results()->OutputEdit().blockCount(), 2 * kLines) << "every line arrived";
    EXPECT_LE(largestStep, static_cast<int>(2 * PacedOutput::kSlice)) << "the report came in slices";
    EXPECT_GE(turns, static_cast<int>(document.characterCount() / (2 * PacedOutput::kSlice)))
        << "the event loop turned between the slices";
    EXPECT_LE(mostPending.load(), PacedOutput::kHighWater + 20) << "the writer waited for the window";
}

// Four drives reading at their own rates (four_rates.json).
class AllDrivesAtOnceTest : public LegacyTestDialogsTest {
protected:
    void SetUp() override { Start("four_rates.json"); }
};

// Drives 0 to 2 are held in a read part way through their scan, drive 3 fails early.
TEST_F(AllDrivesAtOnceTest, ShowARowAndAReportEachAndARowStopsItsDriveAlone)
{
    for (int slot = 0; slot < 4; ++slot) {
        Select(slot);
        if (slot == 3) break;
        auto held = gates.emplace_back(std::make_shared<CommandGate>(kRead10));
        auto reads = std::make_shared<int>(0);
        Tap(slot).hook = [held, reads, at = 900 - 300 * slot](ScsiRequest& request, bool&) {
            if (request.Cdb[0] == kRead10 && ++*reads == at) held->Pass(request);
            return false;
        };
    }
    WithModalDialog([&] { Trigger(kSelect); }, [](QDialog& dialog) {
        Choose(dialog, {-1025, -1026, -1027, -1036, 1032}, kOk);
    });
    ASSERT_NE(Results(), nullptr);
    Results()->resize(760, 420);
    Results()->findChild<QCheckBox*>(QStringLiteral("parallelCheck"))->setChecked(true);
    Click(kStart);

    auto& table = *Results()->findChild<QTableWidget*>(QStringLiteral("driveTable"));
    auto& tabs = *Results()->findChild<QTabWidget*>(QStringLiteral("driveReports"));
    const auto text = [&](int row, int column) { return table.item(row, column)->text(); };
    const auto stop = [&](int row) { return table.cellWidget(row, kStopColumn); };
    const auto percent = [&](int row) { return static_cast<QProgressBar*>(table.cellWidget(row, kProgressColumn))->value(); };
    ASSERT_EQ(table.rowCount(), 4);
    EXPECT_EQ(tabs.count(), 4);
    EXPECT_EQ(text(2, kDriveColumn), QStringLiteral("physicaldrive2"));

    // The rows follow the workers: each held drive shows the reads it made
    // and the rate it made them at; the failed drive held up none of them.
    for (const auto& held : gates) ASSERT_TRUE(held->WaitInside());
    QTRY_VERIFY_WITH_TIMEOUT(percent(0) > 0 && text(3, kResultColumn).startsWith(QStringLiteral("failed")), 10000);
    EXPECT_GT(percent(0), percent(1));
    EXPECT_GT(percent(1), percent(2));
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(text(row, kSubtestColumn), QStringLiteral("Sequential Verify First 300MB"));
        EXPECT_TRUE(text(row, kRateColumn).endsWith(QStringLiteral(" MB/s")));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+:\\d\\d$")).match(text(row, kTimeLeftColumn)).hasMatch());
        EXPECT_EQ(text(row, kResultColumn), QStringLiteral("running"));
        EXPECT_TRUE(stop(row)->isEnabled());
        EXPECT_EQ(ButtonColour(*g_devices[static_cast<size_t>(row)]), kColourUnderTest);
    }
    EXPECT_EQ(text(3, kResultColumn), QStringLiteral("failed in Sequential Verify First 300MB"));
    EXPECT_FALSE(stop(3)->isEnabled());

    // The Stop of row 1 ends drive 1 alone, at its next command.
    QTest::mouseClick(static_cast<QPushButton*>(stop(1)), Qt::LeftButton);
    QTRY_COMPARE(text(1, kResultColumn), QStringLiteral("stopping"));
    EXPECT_FALSE(stop(1)->isEnabled());
    gates[1]->Release();
    QTRY_COMPARE_WITH_TIMEOUT(text(1, kResultColumn), QStringLiteral("stopped"), 10000);
    EXPECT_EQ(text(0, kResultColumn), QStringLiteral("running"));
    EXPECT_EQ(text(2, kResultColumn), QStringLiteral("running"));
    EXPECT_EQ(ButtonColour(*g_devices[1]), kColourSelected);
    EXPECT_EQ(ButtonColour(*g_devices[0]), kColourUnderTest);
    // Each drive's report in its own tab.
    const auto report = [&](const char* drive) {
        return Results()->findChild<QPlainTextEdit*>(QStringLiteral("report:") + QLatin1String(drive))->toPlainText();
    };
    QTRY_VERIFY(report("physicaldrive3").contains(QStringLiteral("failing LBA 20000")));
    EXPECT_FALSE(report("physicaldrive0").contains(QStringLiteral("physicaldrive3")));
    QApplication::processEvents();
    SaveScreenshot(Results()->grab().toImage(), QStringLiteral("test-results-parallel.png"));

    // STOP stops all.
    Click(kStop);
    QTRY_COMPARE(text(0, kResultColumn), QStringLiteral("stopping"));
    EXPECT_EQ(text(2, kResultColumn), QStringLiteral("stopping"));
    for (const auto& held : gates) held->Release();
    Commands()->RunAtOnce().Wait();
    QTRY_COMPARE(text(0, kResultColumn), QStringLiteral("stopped"));
    EXPECT_EQ(text(2, kResultColumn), QStringLiteral("stopped"));
    EXPECT_TRUE(Commands()->RunAtOnce().Report().stopped);
    EXPECT_EQ(g_bStopRequested.load(), 0);
}

}  // namespace
