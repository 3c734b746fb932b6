#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "box_answerer.h"
#include "support/sim_mode_page.h"
#include "ui/modepages/mode_sheet_dlg.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kCmdModePages = 32791;
constexpr int kSaveCurrent = 1173;
constexpr int kRefresh = 1174;

QLineEdit* Edit(QWidget& page, int id) { return page.findChild<QLineEdit*>(QString::number(id)); }
QCheckBox* Check(QWidget& page, int id) { return page.findChild<QCheckBox*>(QString::number(id)); }

// One drive with pages 1, 2 and 8 (mode_pages.json).
class ModeSheetTest : public WorkstationTest {
protected:
    void SetUp() override { Start("mode_pages.json"); }
    // Brings a page's tab to the front, by the page's dialog id.
    static QWidget& Page(CModeSPages& sheet, int dialogId)
    {
        QWidget* page = sheet.findChild<QWidget*>(QString::number(dialogId));
        sheet.Tabs()->setCurrentWidget(page);
        return *page;
    }
};

constexpr int kErrorRecovery = 159;
constexpr int kDiscReconnect = 160;
constexpr int kCaching = 165;

}  // namespace

TEST_F(ModeSheetTest, SaveCurrentValidatesThenWritesRefreshRereadsFieldsTakeNoMoreDigitsAndExitAsksForUnsavedEdits)
{
    WithDeviceDialog(0, 2, kCmdModePages, [&](QDialog& dialog) {
        auto& sheet = dynamic_cast<CModeSPages&>(dialog);
        EXPECT_EQ(Edit(Page(sheet, kDiscReconnect), 1091)->maxLength(), 1) << "DTDC, 0 to 7";
        QWidget& caching = Page(sheet, kCaching);
        EXPECT_TRUE(Edit(caching, 1094)->isReadOnly()) << "Non-Cache Segment Size is not changeable";
        EXPECT_FALSE(Check(caching, 1154)->isEnabled()) << "ABPF is not changeable";
        EXPECT_TRUE(Check(caching, 1158)->isEnabled()) << "WCE is";

        Edit(caching, 1086)->setText(QStringLiteral("g"));
        const uint64_t before = Disk(0).CommandsReceived();
        {
            BoxAnswerer answerer;
            QTest::mouseClick(caching.findChild<QPushButton*>(QString::number(kSaveCurrent)), Qt::LeftButton);
            ASSERT_EQ(answerer.boxes.size(), 1u);
            EXPECT_EQ(answerer.boxes[0], "Enter a nibble value, 0 to F");
        }
        EXPECT_EQ(Disk(0).CommandsReceived() - before, 1u) << "only the read before the exchange";
        EXPECT_EQ(sheet.StatusBar()->currentMessage(),
                  "Caching Page 8 (current values) not saved: nothing was sent to \\\\.\\physicaldrive0");

        Edit(caching, 1086)->setText(QStringLiteral("3"));
        Check(caching, 1158)->setChecked(false);
        QTest::mouseClick(caching.findChild<QPushButton*>(QString::number(kSaveCurrent)), Qt::LeftButton);
        EXPECT_EQ(simpage::Current(Disk(0), 0x08).at(3), 0x30);
        EXPECT_EQ(simpage::Current(Disk(0), 0x08).at(2), 0x00) << "WCE cleared";
        const QString saved = "Caching Page 8 (current values) saved to \\\\.\\physicaldrive0";
        EXPECT_EQ(sheet.StatusBar()->currentMessage(), saved);
        EXPECT_EQ(Frame().statusBar()->currentMessage(), saved) << "the main window says so too";
        SaveScreenshot(sheet.grab().toImage(), QStringLiteral("mode-pages-caching.png"));

        Edit(caching, 1086)->setText(QStringLiteral("7"));
        QTest::mouseClick(caching.findChild<QPushButton*>(QString::number(kRefresh)), Qt::LeftButton);
        EXPECT_EQ(Edit(caching, 1086)->text(), "3");
        EXPECT_EQ(Edit(caching, 1095)->text(), "0") << "saved values untouched";

        const std::pair<int, int> digits[] = {{1086, 1}, {1092, 2}, {1089, 4}, {1094, 6}, {1107, 4}};
        for (const auto& [id, count] : digits) EXPECT_EQ(Edit(caching, id)->maxLength(), count) << id;
        QLineEdit* minimum = Edit(caching, 1089);
        minimum->clear();
        QTest::keyClicks(minimum, "0000000000000000FFFF");
        EXPECT_EQ(minimum->text(), "0000");
        QTest::mouseClick(caching.findChild<QPushButton*>(QString::number(kRefresh)), Qt::LeftButton);

        // Exit with an unsaved edit asks first.
        QWidget& recovery = Page(sheet, kErrorRecovery);
        Edit(recovery, 1086)->setText(QStringLiteral("20"));
        {
            BoxAnswerer no(false);
            QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
            ASSERT_EQ(no.boxes.size(), 1u);
            EXPECT_EQ(no.boxes[0],
                      "Close without saving the changes made on these pages?\n\nError Recovery Page  1");
            EXPECT_TRUE(sheet.isVisible()) << "no: the sheet stays";
        }
        // Once saved, the edit is no longer one.
        QTest::mouseClick(recovery.findChild<QPushButton*>(QString::number(kSaveCurrent)), Qt::LeftButton);
        EXPECT_EQ(simpage::Current(Disk(0), 0x01).at(3), 0x20);
        BoxAnswerer any;
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
        EXPECT_TRUE(any.boxes.empty());
        EXPECT_FALSE(sheet.isVisible());
    });
}

