#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "ui/shell/device_button.h"
#include "ui/shell/device_info_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "workstation_fixture.h"

namespace {

QString Text(QDialog& dialog, int controlId)
{
    auto* edit = dialog.findChild<QLineEdit*>(QString::number(controlId));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(controlId);
}

QCheckBox* Check(QDialog& dialog, int controlId) { return dialog.findChild<QCheckBox*>(QString::number(controlId)); }

class DeviceInfoDialogTest : public WorkstationTest {
protected:
    // Opens the drive's menu, chooses "&Inquiry" and runs step on the dialog.
    void Inquire(int bus, int targetId, const std::function<void(QDialog&)>& step)
    {
        CDeviceButton* button = Button(bus, targetId);
        ASSERT_NE(button, nullptr);
        QMenu* menu = OpenDeviceMenu(*button);
        ASSERT_NE(menu, nullptr);
        WithModalDialog([&] { ChooseItem(*menu, 32784); }, step);
    }
};

TEST_F(DeviceInfoDialogTest, ShowsTheDrivesIdentityCapacityPlaceAndFlags)
{
    BenchDrive drive{.bus = 1,
                     .targetId = 6,
                     .vendor = "MORVANE",
                     .product = "KST-9100",
                     .revision = "R2A1",
                     .serial = "K9X00417",
                     .lastLba = 1000,
                     .blockLength = 512,
                     .capabilities = {"wbus16", "sync", "cmdQue", "addr16"}};
    Start(std::vector<BenchDrive>{drive});
    Inquire(1, 6, [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Device Information");
        EXPECT_EQ(Text(dialog, 1001), "K9X00417");
        EXPECT_EQ(Text(dialog, 1002), "Morvane");
        EXPECT_EQ(Text(dialog, 1004).trimmed(), "KST-9100");
        EXPECT_EQ(Text(dialog, 1005), "R2A1");
        EXPECT_EQ(Text(dialog, 1006), "1000") << "the last block address, not the block count";
        EXPECT_EQ(Text(dialog, 1007), "512");
        EXPECT_EQ(Text(dialog, 1020), "6");
        EXPECT_EQ(Text(dialog, 1019), "1");
        EXPECT_EQ(Text(dialog, 1120), "\\\\.\\physicaldrive0");

        const std::vector<std::pair<int, bool>> flags{
            {1003, false}, {1008, true},  {1009, false}, {1010, false}, {1011, true},  {1012, true},
            {1013, false}, {1014, false}, {1015, true},  {1016, false}, {1017, false}, {1018, false},
        };
        for (const auto& [id, set] : flags) {
            QCheckBox* box = Check(dialog, id);
            ASSERT_NE(box, nullptr) << id;
            EXPECT_EQ(box->isChecked(), set) << id;
            EXPECT_FALSE(box->isEnabled()) << id;
        }
        for (int id : {1001, 1002, 1004, 1005, 1006, 1007, 1019, 1020, 1120}) {
            auto* edit = dialog.findChild<QLineEdit*>(QString::number(id));
            ASSERT_NE(edit, nullptr) << id;
            EXPECT_TRUE(edit->isReadOnly()) << id;
        }
        QCheckBox* selected = Check(dialog, 1039);
        ASSERT_NE(selected, nullptr);
        EXPECT_TRUE(selected->isEnabled());
        EXPECT_FALSE(selected->isChecked());
        EXPECT_NE(dialog.findChild<QPushButton*>(QStringLiteral("1")), nullptr);
        dialog.reject();
    });
}

TEST_F(DeviceInfoDialogTest, LabelsAreWordForWord)
{
    CDeviceInfoDlg dialog;
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    for (const char* text : {"Serial Number:", "Vendor ID:", "Product ID:", "Revision Level:", "Capacity:",
                             "Block Size:", "SCSI Id:", "Host Bus #:"}) {
        EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
    }
    const std::vector<std::pair<int, const char*>> boxes{
        {1003, "32 Bit Wide Addresses"}, {1008, "16 Bit Wide Addresses"}, {1009, "Relative Addressing"},
        {1010, "32 Bit Wide Data"},      {1011, "16 Bit Wide Data"},      {1012, "Syncronous Transfer"},
        {1013, "Linked Commands"},       {1014, "Transfer Disable BIt"},  {1015, "Tagged Comand Queuing"},
        {1016, "Soft RESET Bit"},        {1017, "AENC Bit"},              {1018, "terminate I/O process (TRMIOP) bit"},
        {1039, "Selected for Test"},
    };
    for (const auto& [id, text] : boxes) {
        QCheckBox* box = Check(dialog, id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->text(), QString::fromLatin1(text)) << id;
    }
    // Each edit carries the label naming it.
    for (const auto& [id, text] : std::vector<std::pair<int, const char*>>{{1001, "Serial Number:"},
                                                                           {1006, "Capacity:"},
                                                                           {1019, "Host Bus #:"}}) {
        const QLabel* named = nullptr;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->buddy() && label->buddy()->objectName() == QString::number(id)) named = label;
        }
        ASSERT_NE(named, nullptr) << id;
        EXPECT_EQ(named->text(), QString::fromLatin1(text));
    }
}

TEST_F(DeviceInfoDialogTest, AnotherVendorIsOtherWhateverItsName)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 1, .vendor = "QUILLON"},
                                  {.bus = 0, .targetId = 2, .vendor = "morvane"},
                                  {.bus = 0, .targetId = 3, .vendor = "MORVANE"}});
    for (int target : {1, 2}) {
        Inquire(0, target, [](QDialog& dialog) {
            EXPECT_EQ(Text(dialog, 1002), "Other");
            dialog.reject();
        });
    }
    Inquire(0, 3, [](QDialog& dialog) {
        EXPECT_EQ(Text(dialog, 1002), "Morvane");
        dialog.reject();
    });
}

TEST_F(DeviceInfoDialogTest, DriveThatNoLongerAnswersStillShowsWhatDiscoveryRead)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 2, .serial = "GONE0001", .lastLba = 1000}});
    auto* bench = dynamic_cast<SimCatalog*>(catalog.get());
    ASSERT_NE(bench, nullptr);
    SimFault unplugged;
    unplugged.action = SimFault::Action::CallFails;
    bench->Disk(0)->AddFault(unplugged);

    Inquire(0, 2, [](QDialog& dialog) {
        EXPECT_EQ(Text(dialog, 1001), "GONE0001");
        EXPECT_EQ(Text(dialog, 1006), "1000");
        EXPECT_EQ(Text(dialog, 1007), "512");
        EXPECT_EQ(Text(dialog, 1020), "2");
        dialog.reject();
    });
}

TEST_F(DeviceInfoDialogTest, OkWritesTheSelectionBackAndEscKeepsIt)
{
    Start(std::vector<BenchDrive>{{.bus = 0, .targetId = 0}, {.bus = 0, .targetId = 1}});
    CDeviceButton* button = Button(0, 0);
    ASSERT_NE(button, nullptr);
    ClickAt(*button, 50);
    ASSERT_TRUE(button->Entry().selected);

    // Esc with the box cleared: nothing changes.
    Inquire(0, 0, [](QDialog& dialog) {
        QCheckBox* selected = Check(dialog, 1039);
        ASSERT_NE(selected, nullptr);
        EXPECT_TRUE(selected->isChecked());
        selected->setChecked(false);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(button->Entry().selected);
    EXPECT_EQ(PixelAt(*button, 10, 10), QColor(255, 255, 50));

    // OK with the box cleared: red and no longer selected.
    Inquire(0, 0, [](QDialog& dialog) {
        Check(dialog, 1039)->setChecked(false);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
    });
    EXPECT_FALSE(button->Entry().selected);
    EXPECT_FALSE(AnyDeviceSelected());
    EXPECT_EQ(PixelAt(*button, 10, 10), QColor(255, 50, 50));

    // OK with the box set on the other drive: yellow.
    Inquire(0, 1, [](QDialog& dialog) {
        Check(dialog, 1039)->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    CDeviceButton* other = Button(0, 1);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->Entry().selected);
    EXPECT_EQ(PixelAt(*other, 10, 10), QColor(255, 255, 50));
}

}  // namespace
