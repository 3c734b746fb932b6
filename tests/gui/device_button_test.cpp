#include <thread>

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QTest>
#include <QWindow>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "ui/shell/button_layout.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

const QColor kRed(255, 50, 50);
const QColor kYellow(255, 255, 50);
const QColor kGreen(50, 220, 50);
const QColor kPaleGreen(230, 255, 230);

// A point of the body well away from the caption.
constexpr int kBodyX = 10;
constexpr int kBodyY = 10;

class DeviceButtonTest : public WorkstationTest {
protected:
    void SetUp() override { Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}, {.bus = 0, .targetId = 3}}); }
};

TEST_F(DeviceButtonTest, BodyEndsAtX159AndTheMenuZoneStartsAtX160)
{
    CDeviceButton* button = Button(0, 3);
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->width(), 200);

    ClickAt(*button, 159);
    EXPECT_TRUE(button->Entry().selected);
    EXPECT_EQ(ButtonColour(button->Entry()), kColourSelected);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, button->DeviceMenu());
    EXPECT_TRUE(button->MenuOpen());
    EXPECT_TRUE(button->Entry().selected) << "opening the menu must not toggle the drive";
    EXPECT_EQ(View().MenuTargetBus(), 0);
    EXPECT_EQ(View().MenuTargetId(), 3);
    EXPECT_EQ(View().GetCurrentDevice(), &button->Entry());

    menu->close();
    EXPECT_FALSE(button->MenuOpen());
}

TEST_F(DeviceButtonTest, TwoClicksOnTheBodyBringTheDriveBackToRed)
{
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(PixelAt(*button, kBodyX, kBodyY), kRed);

    ClickAt(*button, 50);
    EXPECT_TRUE(button->Entry().selected);
    EXPECT_TRUE(AnyDeviceSelected());
    EXPECT_EQ(PixelAt(*button, kBodyX, kBodyY), kYellow);

    ClickAt(*button, 50);
    EXPECT_FALSE(button->Entry().selected);
    EXPECT_FALSE(AnyDeviceSelected());
    EXPECT_EQ(ButtonColour(button->Entry()), kColourNotSelected);
    EXPECT_EQ(PixelAt(*button, kBodyX, kBodyY), kRed);
}

TEST_F(DeviceButtonTest, ClickOnTheButtonThatClosesItsMenuOnlyClosesIt)
{
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);

    // Through the window, as a real click arrives while a popup is open.
    QWindow* window = Frame().windowHandle();
    const QPoint arrow = button->mapTo(&Frame(), QPoint(180, 22));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, arrow);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu reopened";
    EXPECT_FALSE(button->MenuOpen());

    ASSERT_NE(OpenDeviceMenu(*button), nullptr);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, button->mapTo(&Frame(), QPoint(50, 22)));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(button->Entry().selected) << "the closing click toggled the drive";
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
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    QApplication::processEvents();
    PaintCounter counter;
    button->installEventFilter(&counter);

    DeviceEntry& entry = button->Entry();
    std::thread worker([&entry] { MarkDeviceUnderTest(entry); });
    worker.join();
    EXPECT_EQ(counter.paints, 0) << "the worker painted directly";
    EXPECT_TRUE(entry.underTest);

    QTest::qWait(50);  // the queued repaint, then the paint it schedules
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(PixelAt(*button, kBodyX, kBodyY), kGreen);

    std::thread idle([&entry] { MarkDeviceIdle(entry); });
    idle.join();
    QTest::qWait(50);
    EXPECT_EQ(PixelAt(*button, kBodyX, kBodyY), kRed) << "idle and, as before, not selected";
    button->removeEventFilter(&counter);
}

TEST_F(DeviceButtonTest, DestroyedButtonIsNoLongerTheEntrysRepaintTarget)
{
    DeviceEntry* entry = g_devices[0].get();
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->button, nullptr);
    frame.reset();
    EXPECT_EQ(entry->button, nullptr);
    SetTestColour(*entry);  // must not reach a deleted widget
}

}  // namespace
