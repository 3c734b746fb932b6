// The drive buttons under the mouse and the keyboard, and the hover frame
// once a menu or a dialog has had the pointer.
#include <functional>
#include <thread>
#include <tuple>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QWindow>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "drives/run_drives.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/view_commands.h"
#include "workstation_fixture.h"

namespace {

constexpr int kAbout = 57664;
constexpr int kInquiry = 32784;

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget*>(nullptr), static_cast<Qt::Key>(key), modifiers);
}

QWidget* Focused() { return QApplication::focusWidget(); }

// Two buses, the same target id on both (two_buses.json).
class DeviceButtonTest : public WorkstationTest {
protected:
    void SetUp() override { Start("two_buses.json"); }
    // The pointer is the whole program's: the next test finds it where this one did.
    void TearDown() override
    {
        WorkstationTest::TearDown();
        QCursor::setPos(pointerAtStart);
    }
    // Tabs until the button has the focus; false when the focus never gets there.
    bool TabTo(CDeviceButton* button)
    {
        // As a desktop does when a dialog closes; the offscreen one does not.
        if (!Frame().isActiveWindow()) {
            Frame().activateWindow();
            if (!QTest::qWaitForWindowActive(&Frame())) return false;
        }
        for (size_t i = 0; i <= View().Buttons().size() && Focused() != button; ++i) Press(Qt::Key_Tab);
        return Focused() == button;
    }
    QString StatusText() const { return Frame().statusBar()->currentMessage(); }
    // The pointer on the view's background, left of every column.
    void PointerAway() { QCursor::setPos(View().mapToGlobal(QPoint(5, 5))); }
    const QPoint pointerAtStart = QCursor::pos();
    // The pointer comes over the button; no leave will follow.
    static void Hover(CDeviceButton& button)
    {
        QEnterEvent enter(QPointF(50, 20), QPointF(50, 20), button.mapToGlobal(QPointF(50, 20)));
        QApplication::sendEvent(&button, &enter);
    }
};

TEST_F(DeviceButtonTest, BodyTogglesUpToX159AndTheMenuZoneFromX160OpensTheMenuWhichAClickOnlyCloses)
{
    CDeviceButton* button = Button(0, 6);
    ASSERT_EQ(button->width(), 200);
    EXPECT_EQ(PixelAt(*button, 10, 10), kRed);
    ClickAt(*button, 159);
    EXPECT_TRUE(button->Entry().selected);
    EXPECT_EQ(PixelAt(*button, 10, 10), kYellow);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, button->DeviceMenu());
    EXPECT_TRUE(button->MenuOpen());
    EXPECT_TRUE(button->Entry().selected) << "opening the menu must not toggle the drive";
    EXPECT_EQ(View().MenuTargetBus(), 0);
    EXPECT_EQ(View().MenuTargetId(), 6);
    EXPECT_EQ(View().GetCurrentDevice(), &button->Entry());
    menu->close();
    EXPECT_FALSE(button->MenuOpen());

    ClickAt(*button, 50);
    EXPECT_FALSE(button->Entry().selected);
    EXPECT_EQ(PixelAt(*button, 10, 10), kRed);

    // A click on the button while its menu is open only closes the menu.
    // It comes through the window, as a real click does while a popup is open.
    for (const QPoint at : {QPoint(180, 22), QPoint(50, 22)}) {
        ASSERT_NE(OpenDeviceMenu(*button), nullptr);
        QTest::mouseClick(Frame().windowHandle(), Qt::LeftButton, Qt::NoModifier, button->mapTo(&Frame(), at));
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu reopened";
        EXPECT_FALSE(button->MenuOpen());
        EXPECT_FALSE(button->Entry().selected) << "the closing click toggled the drive";
    }
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST_F(DeviceButtonTest, ColourChangedOnAWorkerThreadRepaintsOnTheUserInterfaceThread)
{
    CDeviceButton* button = Button(0, 5);
    QApplication::processEvents();
    PaintCounter counter;
    button->installEventFilter(&counter);
    DeviceEntry& entry = button->Entry();
    std::thread([&entry] { MarkDeviceUnderTest(entry); }).join();
    EXPECT_EQ(counter.paints, 0) << "the worker painted directly";
    QTest::qWait(50);  // the queued repaint, then the paint it schedules
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(PixelAt(*button, 10, 10), kGreen);
    button->removeEventFilter(&counter);

    frame.reset();
    EXPECT_EQ(entry.button, nullptr) << "a destroyed button is no longer the entry's repaint target";
    SetTestColour(entry);  // must not reach a deleted widget
}

TEST_F(DeviceButtonTest, TabWalksTheDrivesColumnByColumnAndNeverStopsOnAController)
{
    // A machine that numbers its drives across buses fills the table out of
    // column order; the bench lists them by bus, so the table is made here
    // and the bench adds no drive to it.
    WorkstationTest::TearDown();
    const std::pair<uint8_t, uint8_t> table[] = {{1, 4}, {0, 2}, {1, 1}, {0, 7}};
    for (size_t slot = 0; slot < std::size(table); ++slot) {
        g_devices[slot] = std::make_unique<DeviceEntry>();
        std::tie(g_devices[slot]->bus, g_devices[slot]->targetId) = table[slot];
    }
    for (uint8_t bus : {0, 1}) {
        g_controllers[bus] = std::make_unique<DeviceEntry>();
        g_controllers[bus]->bus = bus;
        g_controllers[bus]->targetId = kControllerTargetId;
        g_controllers[bus]->isController = true;
    }
    Start("no_drives.json");

    const std::vector<CDeviceButton*> columns = {Button(0, 2), Button(0, 7), Button(1, 4), Button(1, 1)};
    EXPECT_EQ(Focused(), columns[0]) << "the window opens with the focus on the first drive";
    for (size_t i = 1; i <= columns.size(); ++i) {
        Press(Qt::Key_Tab);
        EXPECT_EQ(Focused(), columns[i % columns.size()]) << "Tab " << i;
    }
    for (size_t i = columns.size(); i > 0; --i) {
        Press(Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(Focused(), columns[i - 1]) << "Shift+Tab back to drive " << i - 1;
    }
    ASSERT_NE(Button(0, kControllerTargetId), nullptr);
    EXPECT_EQ(Button(0, kControllerTargetId)->focusPolicy(), Qt::NoFocus);
}

TEST_F(DeviceButtonTest, FocusFrameShowsOnlyForTheKeyboardAndSpaceTogglesTheDriveUnlessARunHoldsIt)
{
    CDeviceButton* button = Button(0, 6);
    ASSERT_TRUE(TabTo(button));
    DeviceEntry& entry = button->Entry();
    // Body less the menu zone, shrunk by 3: [3, 157) x [3, 42).
    const struct {
        const char* state;
        std::function<void()> set;
    } states[] = {{"not selected", [] {}},
                  {"selected", [&entry] { SetDeviceSelected(entry, true); }},
                  {"under test", [&entry] { MarkDeviceUnderTest(entry); }}};
    for (const auto& state : states) {
        state.set();
        EXPECT_EQ(PixelAt(*button, 3, 3), QColor(Qt::black)) << state.state;
        EXPECT_EQ(PixelAt(*button, 4, 3), QColor(Qt::white)) << state.state;
        EXPECT_EQ(PixelAt(*button, 156, 40), QColor(Qt::black)) << state.state;
        EXPECT_EQ(PixelAt(*button, 3, 40), QColor(Qt::white)) << state.state;
    }
    MarkDeviceIdle(entry);
    SetDeviceSelected(entry, false);
    SaveScreenshot(Frame().grab().toImage(), QStringLiteral("keyboard-focus.png"));

    // A click moves the focus but shows no frame; a key on the button does.
    CDeviceButton* clicked = Button(1, 1);
    ClickAt(*clicked, 50);
    ClickAt(*clicked, 50);
    EXPECT_EQ(Focused(), clicked);
    EXPECT_EQ(PixelAt(*clicked, 3, 3), kRed);
    EXPECT_EQ(PixelAt(*button, 3, 3), kRed) << "the frame left with the focus";
    EXPECT_EQ(StatusText(), kStatusSelectDrive) << "the status bar tells what Space does";
    Press(Qt::Key_Space);
    EXPECT_EQ(PixelAt(*clicked, 3, 3), QColor(Qt::black));
    EXPECT_TRUE(clicked->Entry().selected);
    EXPECT_EQ(StatusText(), kStatusUnselectDrive);
    {
        RunDrives run({&clicked->Entry()});
        Press(Qt::Key_Space);
        EXPECT_TRUE(clicked->Entry().selected) << "a held drive stays selected";
        EXPECT_EQ(StatusText(), kStatusDriveHeld);
    }
    Press(Qt::Key_Space);
    EXPECT_FALSE(clicked->Entry().selected) << "free again once the run lets go";
}

// Each way to the menu ends in Device Information, whose OK writes the
// drive's selection back and whose Esc keeps it.
TEST_F(DeviceButtonTest, MenuKeyAndShiftF10OpenTheFocusedDrivesMenuAndItsDeviceInformationSetsTheSelection)
{
    CDeviceButton* button = Button(1, 5);
    ClickAt(*button, 50);
    const struct {
        const char* way;
        std::function<void()> open;
        bool checked;
        Qt::Key key;
    } ways[] = {
        {"menu key", [] { Press(Qt::Key_Menu); }, false, Qt::Key_Escape},
        {"Shift+F10", [] { Press(Qt::Key_F10, Qt::ShiftModifier); }, false, Qt::Key_Return},
        {"context menu request from the keyboard",
         [button] {
             const QPoint at(10, 10);
             QContextMenuEvent request(QContextMenuEvent::Keyboard, at, button->mapToGlobal(at));
             QApplication::sendEvent(button, &request);
         },
         true, Qt::Key_Return},
    };
    for (const auto& way : ways) {
        // The other drive with the same target id had the last menu.
        QMenu* other = OpenDeviceMenu(*Button(0, 5));
        ASSERT_NE(other, nullptr);
        other->close();
        ASSERT_TRUE(TabTo(button)) << way.way;

        way.open();
        EXPECT_EQ(QApplication::activePopupWidget(), button->DeviceMenu()) << way.way;
        EXPECT_EQ(View().GetCurrentDevice(), &button->Entry()) << way.way;
        QString serial;
        WithModalDialog([] { Press(Qt::Key_Return); },
                        [&](QDialog& dialog) {
                            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("1001"));
                            serial = edit ? edit->text() : QString();
                            dialog.findChild<QCheckBox*>(QStringLiteral("1039"))->setChecked(way.checked);
                            QTest::keyClick(&dialog, way.key);
                            EXPECT_FALSE(dialog.isVisible()) << way.way;
                        });
        EXPECT_EQ(serial, "SERIAL15") << way.way << ": Return chooses Inquiry, on this drive";
        const bool selected = way.key == Qt::Key_Escape || way.checked;
        EXPECT_EQ(button->Entry().selected, selected) << way.way;
        EXPECT_EQ(PixelAt(*button, 10, 10), selected ? kYellow : kRed) << way.way;
    }

    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10), button->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(button, &rightClick);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a right click opens no menu";
}

TEST_F(DeviceButtonTest, HoverFrameGoesWhenAMenuOrADialogTookThePointerElsewhere)
{
    CDeviceButton* button = Button(0, 5);
    PointerAway();
    Hover(*button);
    ASSERT_TRUE(button->Hot());
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_FALSE(button->Hot());
    EXPECT_EQ(PixelAt(*button, 8, 8), kRed) << "no frame left behind";

    // After a dialog the frame is where the pointer is.
    QAction* about = Frame().findChild<QAction*>(QString::number(kAbout));
    ASSERT_NE(about, nullptr);
    for (bool backOver : {false, true}) {
        PointerAway();
        Hover(*button);
        WithModalDialog([about] { about->trigger(); },
                        [&](QDialog& dialog) {
                            EXPECT_FALSE(button->Hot()) << "the dialog has the pointer";
                            if (backOver) QCursor::setPos(button->mapToGlobal(QPoint(50, 20)));
                            dialog.reject();
                        });
        EXPECT_EQ(button->Hot(), backOver) << (backOver ? "pointer over the button" : "pointer elsewhere");
    }
}

}  // namespace
