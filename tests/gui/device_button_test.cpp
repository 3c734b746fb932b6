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

TEST_F(DeviceButtonTest, ButtonsStandInOneColumnPerBusUnderTheController)
{
    CDeviceButton* controller = Button(0, kControllerTargetId);
    CDeviceButton* first = Button(0, 0);
    CDeviceButton* second = Button(0, 3);
    ASSERT_TRUE(controller && first && second);

    EXPECT_EQ(controller->geometry(), QRect(QPoint(50, 0), QPoint(249, 44)));
    EXPECT_EQ(first->geometry(), QRect(QPoint(50, 45), QPoint(249, 89)));
    EXPECT_EQ(second->geometry(), QRect(QPoint(50, 90), QPoint(249, 134)));
    EXPECT_EQ(controller->Caption(), "Controller 0");
    EXPECT_EQ(first->Caption(), "SCSI Device 0");
    EXPECT_EQ(second->Caption(), "SCSI Device 3");
    EXPECT_EQ(controller->objectName(), "200");
    EXPECT_EQ(first->objectName(), "201");
    EXPECT_EQ(first->MenuZoneWidth(), 40);
    EXPECT_EQ(controller->DeviceMenu(), nullptr);
    ASSERT_NE(first->DeviceMenu(), nullptr);
    EXPECT_EQ(View().Buttons().size(), 3u);
}

TEST_F(DeviceButtonTest, ColumnOfTheSecondBusStartsAt250)
{
    TearDown();
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 2}, {.bus = 1, .targetId = 4}});
    CDeviceButton* controller = Button(1, kControllerTargetId);
    CDeviceButton* drive = Button(1, 4);
    ASSERT_TRUE(controller && drive);
    EXPECT_EQ(controller->geometry(), QRect(250, 0, 200, 45));
    EXPECT_EQ(drive->geometry(), QRect(250, 45, 200, 45));
    EXPECT_EQ(controller->Caption(), "Controller 1");
}

TEST(ButtonLayout, ABusMetAgainKeepsGrowingItsColumn)
{
    ClearDeviceTable();
    const uint8_t buses[] = {0, 1, 0};
    for (size_t slot = 0; slot < std::size(buses); ++slot) {
        g_devices[slot] = std::make_unique<DeviceEntry>();
        g_devices[slot]->bus = buses[slot];
        g_devices[slot]->targetId = static_cast<uint8_t>(slot + 4);
    }
    for (uint8_t bus : {0, 1}) {
        g_controllers[bus] = std::make_unique<DeviceEntry>();
        g_controllers[bus]->bus = bus;
        g_controllers[bus]->isController = true;
    }
    const std::vector<ButtonPlace> places = LayOutButtons();
    ClearDeviceTable();
    ASSERT_EQ(places.size(), 5u);
    const struct {
        const char* caption;
        int controlId;
        QRect rect;
    } expected[] = {
        {"Controller 0", 200, QRect(50, 0, 200, 45)},   {"Controller 1", 200, QRect(250, 0, 200, 45)},
        {"SCSI Device 4", 201, QRect(50, 45, 200, 45)}, {"SCSI Device 5", 201, QRect(250, 45, 200, 45)},
        {"SCSI Device 6", 201, QRect(50, 90, 200, 45)},
    };
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].caption, expected[i].caption);
        EXPECT_EQ(places[i].controlId, expected[i].controlId) << expected[i].caption;
        EXPECT_EQ(places[i].rect, expected[i].rect) << expected[i].caption;
        EXPECT_EQ(places[i].hasMenu, expected[i].controlId == 201) << expected[i].caption;
    }
}

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

TEST_F(DeviceButtonTest, ControllerClickChangesNothing)
{
    CDeviceButton* controller = Button(0, kControllerTargetId);
    ASSERT_NE(controller, nullptr);
    for (int x : {10, 159, 160, 199}) {
        ClickAt(*controller, x);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "x = " << x;
        EXPECT_EQ(ButtonColour(controller->Entry()), kColourController);
        EXPECT_FALSE(controller->Entry().selected);
    }
    EXPECT_EQ(PixelAt(*controller, kBodyX, kBodyY), kPaleGreen);
    EXPECT_EQ(PixelAt(*controller, 190, 22), kPaleGreen) << "a controller has no menu arrow";
    EXPECT_EQ(View().GetCurrentDevice(), nullptr);
}

TEST_F(DeviceButtonTest, ArrowSitsInTheMenuZoneAndMovesWhilePressed)
{
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    // Triangle (177,22) (183,22) (180,25) on a 200 x 45 button.
    EXPECT_EQ(PixelAt(*button, 178, 22), QColor(Qt::black));
    EXPECT_EQ(PixelAt(*button, 180, 24), QColor(Qt::black));
    EXPECT_EQ(PixelAt(*button, 177, 21), kRed);

    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    EXPECT_TRUE(button->Pressed());
    EXPECT_EQ(PixelAt(*button, 178, 22), kYellow) << "the pressed arrow is one pixel lower and to the right";
    EXPECT_EQ(PixelAt(*button, 179, 23), QColor(Qt::black));
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    EXPECT_FALSE(button->Pressed());
    EXPECT_EQ(PixelAt(*button, 178, 22), QColor(Qt::black));
}

TEST_F(DeviceButtonTest, HotButtonShowsARaisedFrameAndASunkenOneWhilePressed)
{
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    const QRgb light = button->palette().color(QPalette::Light).rgb();
    const QRgb dark = button->palette().color(QPalette::Dark).rgb();
    EXPECT_EQ(PixelAt(*button, 8, 8), kRed) << "no frame while the pointer is elsewhere";

    QEnterEvent enter(QPointF(50, 20), QPointF(50, 20), button->mapToGlobal(QPointF(50, 20)));
    QApplication::sendEvent(button, &enter);
    ASSERT_TRUE(button->Hot());
    // Body less the menu zone, shrunk by 8: [8, 152) x [8, 37).
    EXPECT_EQ(PixelAt(*button, 8, 8).rgb(), light);
    EXPECT_EQ(PixelAt(*button, 151, 36).rgb(), dark);
    EXPECT_EQ(PixelAt(*button, 7, 7), kRed);

    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    EXPECT_EQ(PixelAt(*button, 8, 8).rgb(), dark);
    EXPECT_EQ(PixelAt(*button, 151, 36).rgb(), light);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->Hot());
    EXPECT_EQ(PixelAt(*button, 8, 8), kYellow);
}

TEST_F(DeviceButtonTest, OpenMenuRaisesTheBodyAndSinksTheMenuZone)
{
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    const QRgb light = button->palette().color(QPalette::Light).rgb();
    const QRgb dark = button->palette().color(QPalette::Dark).rgb();
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(PixelAt(*button, 0, 0).rgb(), light);
    EXPECT_EQ(PixelAt(*button, 159, 44).rgb(), dark);
    EXPECT_EQ(PixelAt(*button, 160, 0).rgb(), dark);
    EXPECT_EQ(PixelAt(*button, 199, 44).rgb(), light);
    EXPECT_EQ(PixelAt(*button, 179, 23), QColor(Qt::black)) << "arrow moved down and right";
    menu->close();
    EXPECT_EQ(PixelAt(*button, 0, 0), kRed);
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

TEST_F(DeviceButtonTest, ClickOnAnotherButtonClosesTheMenu)
{
    // The menu opens below the lower drive, so the upper one stays clickable.
    CDeviceButton* first = Button(0, 3);
    CDeviceButton* second = Button(0, 0);
    ASSERT_TRUE(first && second);
    ASSERT_NE(OpenDeviceMenu(*first), nullptr);
    QTest::mouseClick(Frame().windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      second->mapTo(&Frame(), QPoint(50, 22)));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_FALSE(first->MenuOpen());
    EXPECT_EQ(View().GetCurrentDevice(), &first->Entry()) << "the menu target stays until another menu opens";
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
