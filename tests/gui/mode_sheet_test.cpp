#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "box_answerer.h"
#include "modepages/mode_page_io.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "ui/modepages/mode_page_widget.h"
#include "ui/modepages/mode_sheet_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kCmdModePages = 32791;

std::string OneDrive(const std::string& modePages)
{
    return R"({"buses": 1, "devices": [{"bus": 0, "targetId": 2, "vendor": "MORVANE", "product": "MVX-18LW",
        "revision": "0412", "serial": "3KA04417", "blocks": 35843670)" +
           (modePages.empty() ? std::string() : ", \"modePages\": " + modePages) + "}]}";
}

QLineEdit* Edit(QWidget& page, int id) { return page.findChild<QLineEdit*>(QString::number(id)); }
QCheckBox* Check(QWidget& page, int id) { return page.findChild<QCheckBox*>(QString::number(id)); }

// Page byte `index` of the drive's current values of a page.
uint8_t CurrentByte(SimDisk& disk, uint8_t code, size_t index)
{
    const uint8_t cdb[6] = {0x1A, 0x08, code, 0, 0xFF, 0};
    uint8_t buffer[255] = {};
    disk.Execute(cdb, 6, SimDirection::In, buffer, sizeof buffer, 10);
    return buffer[4 + index];
}

class ModeSheetTest : public WorkstationTest {
protected:
    void TearDown() override
    {
        g_pSheetDevice = nullptr;
        WorkstationTest::TearDown();
    }
    // Opens the drive's menu, chooses "&Mode Pages..." and runs step on the sheet.
    void OpenSheet(const std::function<void(CModeSPages&)>& step)
    {
        CDeviceButton* button = Button(0, 2);
        ASSERT_NE(button, nullptr);
        QMenu* menu = OpenDeviceMenu(*button);
        ASSERT_NE(menu, nullptr);
        WithModalDialog([&] { ChooseItem(*menu, kCmdModePages); },
                        [&](QDialog& dialog) {
                            auto* sheet = qobject_cast<CModeSPages*>(&dialog);
                            ASSERT_NE(sheet, nullptr);
                            step(*sheet);
                        });
    }
    SimDisk& Drive() { return *static_cast<SimCatalog&>(*catalog).Disk(0); }
};

// Clicks a button that shows a message box; returns the box's text.
QString MessageFromClick(QPushButton& button)
{
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    return text;
}

}  // namespace

TEST_F(ModeSheetTest, SaveCurrentValidatesThenWritesAndRefreshRereads)
{
    Start(OneDrive(R"({"pages": ["0x08"]})"));
    OpenSheet([&](CModeSPages& sheet) {
        QWidget& caching = *sheet.Tabs()->widget(0);
        auto* saveCurrent = caching.findChild<QPushButton*>(QStringLiteral("1173"));
        auto* refresh = caching.findChild<QPushButton*>(QStringLiteral("1174"));
        ASSERT_NE(saveCurrent, nullptr);
        ASSERT_NE(refresh, nullptr);
        EXPECT_EQ(saveCurrent->text(), "Save Current");
        EXPECT_TRUE(Edit(caching, 1094)->isReadOnly()) << "Non-Cache Segment Size is not changeable";
        EXPECT_FALSE(Check(caching, 1154)->isEnabled()) << "ABPF is not changeable";
        EXPECT_TRUE(Check(caching, 1158)->isEnabled()) << "WCE is";

        Edit(caching, 1086)->setText(QStringLiteral("g"));
        const uint64_t before = Drive().CommandsReceived();
        EXPECT_EQ(MessageFromClick(*saveCurrent), "Enter a nibble value, 0 to F");
        for (const auto& cdb : Drive().RecentCdbs()) EXPECT_NE(cdb[0], 0x15) << "nothing sent";
        EXPECT_EQ(Drive().CommandsReceived() - before, 1u) << "only the read before the exchange";
        EXPECT_EQ(sheet.StatusBar()->currentMessage(),
                  "Caching Page 8 (current values) not saved: nothing was sent to \\\\.\\physicaldrive0");

        Edit(caching, 1086)->setText(QStringLiteral("3"));
        Check(caching, 1158)->setChecked(false);
        QTest::mouseClick(saveCurrent, Qt::LeftButton);
        EXPECT_EQ(CurrentByte(Drive(), 0x08, 3), 0x30);
        EXPECT_EQ(CurrentByte(Drive(), 0x08, 2), 0x00) << "WCE cleared";
        const QString saved = "Caching Page 8 (current values) saved to \\\\.\\physicaldrive0";
        EXPECT_EQ(sheet.StatusBar()->currentMessage(), saved);
        EXPECT_EQ(Frame().statusBar()->currentMessage(), saved) << "the main window says so too";

        Edit(caching, 1086)->setText(QStringLiteral("7"));
        QTest::mouseClick(refresh, Qt::LeftButton);
        EXPECT_EQ(Edit(caching, 1086)->text(), "3");
        EXPECT_EQ(Edit(caching, 1095)->text(), "0") << "saved values untouched";
    });
}

TEST_F(ModeSheetTest, ExitWithUnsavedEditsAsksFirst)
{
    Start(OneDrive(R"({"pages": ["0x01", "0x08"]})"));
    OpenSheet([&](CModeSPages& sheet) {
        QWidget& recovery = *sheet.Tabs()->widget(0);
        Edit(recovery, 1086)->setText(QStringLiteral("20"));
        {
            BoxAnswerer no(false);
            QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
            ASSERT_EQ(no.boxes.size(), 1u);
            EXPECT_EQ(no.boxes[0].text,
                      "Close without saving the changes made on these pages?\n\nError Recovery Page  1");
            EXPECT_TRUE(sheet.isVisible()) << "no: the sheet stays";
        }
        // Once saved, the edit is no longer one.
        QTest::mouseClick(recovery.findChild<QPushButton*>(QStringLiteral("1173")), Qt::LeftButton);
        EXPECT_EQ(CurrentByte(Drive(), 0x01, 3), 0x20);
        BoxAnswerer any;
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        EXPECT_TRUE(any.boxes.empty());
        EXPECT_FALSE(sheet.isVisible());
    });
}

TEST_F(ModeSheetTest, EditFieldsTakeNoMoreDigitsThanTheirField)
{
    Start(OneDrive(R"({"pages": ["0x08", "0x02"]})"));
    OpenSheet([&](CModeSPages& sheet) {
        QWidget& caching = *sheet.Tabs()->widget(0);
        const std::pair<int, int> digits[] = {{1086, 1}, {1092, 2}, {1089, 4}, {1094, 6}, {1107, 4}};
        for (const auto& [id, count] : digits) EXPECT_EQ(Edit(caching, id)->maxLength(), count) << id;
        QLineEdit* minimum = Edit(caching, 1089);
        minimum->clear();
        QTest::keyClicks(minimum, "0000000000000000FFFF");
        EXPECT_EQ(minimum->text(), "0000");
        sheet.Tabs()->setCurrentIndex(1);
        EXPECT_EQ(Edit(*sheet.Tabs()->widget(1), 1091)->maxLength(), 1) << "DTDC, 0 to 7";
    });
}

TEST_F(ModeSheetTest, ScreenshotOfTheCachingTab)
{
    Start(std::string());
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    QMenu* menu = OpenDeviceMenu(*button);
    ASSERT_NE(menu, nullptr);
    WithModalDialog([&] { ChooseItem(*menu, kCmdModePages); },
                    [&](QDialog& dialog) {
                        auto& sheet = static_cast<CModeSPages&>(dialog);
                        QTabWidget* tabs = sheet.Tabs();
                        int caching = -1;
                        for (int i = 0; i < tabs->count(); ++i)
                            if (tabs->tabText(i) == "Caching Page 8") caching = i;
                        ASSERT_GE(caching, 0);
                        tabs->setCurrentIndex(caching);
                        // The status bar after a save.
                        QTest::mouseClick(tabs->widget(caching)->findChild<QPushButton*>(QStringLiteral("1173")),
                                          Qt::LeftButton);
                        QTest::qWait(50);
                        SaveScreenshot(sheet.grab().toImage(), QStringLiteral("mode-pages-caching.png"));
                    });
}
