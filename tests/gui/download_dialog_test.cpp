// The Download File dialog on a simulated bench: command 32789, the setup
// check, the Download and Cancel buttons, the question and message boxes.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include "box_answerer.h"
#include "drives/device_table.h"
#include "sim/sim_catalog.h"
#include "sim/sim_disk.h"
#include "support/blocking_device.h"
#include "ui/download/download_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kDownloadCommand = 32789;

class DownloadDialogTest : public WorkstationTest {
protected:
    // Two drives on bus 0 that restart at once and come back on 0415; extra
    // bench keys for the first.
    void StartBench(const nlohmann::json& firstExtra = nlohmann::json::object())
    {
        const nlohmann::json microcode = {{"restartSeconds", 0}, {"revisionAfter", "0415"}};
        nlohmann::json first = {{"bus", 0},         {"targetId", 0},           {"vendor", "MORVANE"},
                                {"product", "MVX-18LW"}, {"revision", "0412"}, {"serial", "3KA04417"},
                                {"blocks", 1000},   {"microcode", microcode}};
        first.update(firstExtra);
        nlohmann::json second = {{"bus", 0},         {"targetId", 1},           {"vendor", "MORVANE"},
                                 {"product", "MVX-36LW"}, {"revision", "0412"}, {"serial", "3KB11090"},
                                 {"blocks", 1000},   {"microcode", microcode}};
        Start(nlohmann::json{{"buses", 1}, {"devices", {first, second}}}.dump());
        ASSERT_TRUE(folder.isValid());
        imagePath = folder.filePath(QStringLiteral("fw0412.lod"));
        QFile image(imagePath);
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(70000, '\x5A'));
        image.close();
        QFile older(folder.filePath(QStringLiteral("fw0407.lod")));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write(QByteArray(65536, '\x11'));
        older.close();
        QFile other(folder.filePath(QStringLiteral("notes.txt")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    }

    void Select(int targetId)
    {
        CDeviceButton* button = Button(0, targetId);
        ASSERT_NE(button, nullptr);
        ClickAt(*button, 20);
    }

    SimDisk& Disk(uint32_t number) { return *static_cast<SimCatalog&>(*catalog).Disk(number); }

    void OpenDialog(const std::function<void(CDownloadDlg&)>& step)
    {
        WithModalDialog([&] { View().CommandAction(kDownloadCommand)->trigger(); },
                        [&](QDialog& dialog) {
                            auto* download = qobject_cast<CDownloadDlg*>(&dialog);
                            ASSERT_NE(download, nullptr);
                            download->setDirectory(folder.path());
                            download->selectFile(imagePath);
                            step(*download);
                        });
    }

    QTemporaryDir folder;
    QString imagePath;
};

TEST_F(DownloadDialogTest, CommandIsEnabledAndRefusesWithoutASelectedDrive)
{
    StartBench();
    QAction* action = View().CommandAction(kDownloadCommand);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_EQ(action->text(), "&Download File");
    EXPECT_EQ(action->statusTip(), "Download Microcode file");

    BoxAnswerer answerer;
    action->trigger();
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "NO Drive Selected for Download");
    EXPECT_EQ(answerer.boxes[0].title, "Download Setup Error");
}

TEST_F(DownloadDialogTest, DialogHasItsTitleFilterAndOnlyItsOwnButtons)
{
    StartBench();
    Select(0);
    OpenDialog([](CDownloadDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Download File");
        EXPECT_EQ(dialog.nameFilters().value(0), "Download Files (*.lod)");
        auto* download = dialog.findChild<QPushButton*>(QStringLiteral("1106"));
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("2"));
        ASSERT_NE(download, nullptr);
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(download->text(), "Download");
        EXPECT_EQ(cancel->text(), "Cancel");
        EXPECT_TRUE(download->isVisible());
        EXPECT_TRUE(cancel->isVisible());
        auto* standard = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(standard, nullptr);
        EXPECT_FALSE(standard->isVisible());

        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible()) << "Cancel while idle closes at once";
    });
}

TEST_F(DownloadDialogTest, DownloadAsksThenSendsToEverySelectedDriveAndStaysOpen)
{
    StartBench();
    Select(0);
    Select(1);
    OpenDialog([&](CDownloadDlg& dialog) {
        EXPECT_EQ(dialog.ChosenFile(), imagePath);
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, "Are you sure you want to downlaod " + imagePath + "?");
        EXPECT_TRUE(dialog.TimerRunning());
        EXPECT_FALSE(dialog.DownloadButton()->isEnabled()) << "one download at a time";
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Sequence().Busy(), 3000);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.DownloadButton()->isEnabled());
        EXPECT_FALSE(dialog.TimerRunning());
        ASSERT_EQ(answerer.boxes.size(), 2u) << "what became of each drive";
        EXPECT_EQ(answerer.boxes[1].text, "\\\\.\\physicaldrive0: OK, took the image; revision 0412 before, 0415 after\n"
                                          "\\\\.\\physicaldrive1: OK, took the image; revision 0412 before, 0415 after\n"
                                          "2 of 2 drives took the image");
        EXPECT_EQ(dialog.StatusLine()->text(), "2 of 2 drives took the image");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("download-dialog.png"));
        dialog.reject();
    });
    EXPECT_EQ(Disk(0).MicrocodeImage(), std::vector<uint8_t>(70000, 0x5A));
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 1u);
    EXPECT_STREQ(g_devices[0]->revision, "0415") << "Device Information shows the revision the drive runs now";
}

// Drive 0 never comes back on its image: one at a time the download ends
// there; with "All drives at once" drive 1 takes the image all the same.
struct AbnormalCase {
    const char* name;
    bool allAtOnce;
    const char* second;  // what became of drive 1
    const char* count;
    size_t imagesTaken;
};

class DownloadAbnormalTest : public DownloadDialogTest, public ::testing::WithParamInterface<AbnormalCase> {};

TEST_P(DownloadAbnormalTest, AnAbnormalAnswerIsShownWithWhatBecameOfEachDriveAndClosesTheDialog)
{
    StartBench({{"microcode", {{"neverReady", true}}}});
    Select(0);
    Select(1);
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        dialog.findChild<QCheckBox*>(QStringLiteral("allAtOnce"))->setChecked(GetParam().allAtOnce);
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        ASSERT_EQ(answerer.boxes.size(), 3u);
        EXPECT_EQ(answerer.boxes[1].text, "Abnormal status during Download - \\\\.\\physicaldrive0, 02 04 03");
        const std::string expected = "\\\\.\\physicaldrive0: failed, abnormal status after the transfer: not ready, "
                                     "manual intervention required (04h/03h)\n\\\\.\\physicaldrive1: " +
                                     std::string(GetParam().second) + "\n" + GetParam().count;
        EXPECT_EQ(answerer.boxes[2].text, QString::fromStdString(expected));
    });
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), GetParam().imagesTaken);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DownloadAbnormalTest,
    ::testing::Values(AbnormalCase{"OneAtATime", false,
                                   "not attempted, the download stopped at the failure of \\\\.\\physicaldrive0",
                                   "0 of 2 drives took the image", 0},
                      AbnormalCase{"AllAtOnce", true, "OK, took the image; revision 0412 before, 0415 after",
                                   "1 of 2 drives took the image", 1}),
    [](const ::testing::TestParamInfo<AbnormalCase>& info) { return std::string(info.param.name); });

// The drive holds TEST UNIT READY after its transfer, as a drive that does
// not answer does; Cancel (or the window's close box) must act at once.
class DownloadHeldDriveTest : public DownloadDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DownloadHeldDriveTest, CancelAndTheCloseBoxActAtOnceWhileADriveHoldsItsCheck)
{
    const bool closeBox = GetParam();
    StartBench();
    Select(0);
    Select(1);
    auto held = std::make_shared<BlockingDevice>(g_devices[0]->handle, 0x00);
    g_devices[0]->handle = held;
    int sentBeforeCancel = 0;
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(held->blocked.load(), 3000);
        QTest::qWait(100);
        EXPECT_TRUE(dialog.TimerRunning()) << "the window goes on while the drive holds the check";
        EXPECT_EQ(dialog.StatusLine()->text(),
                  "\\\\.\\physicaldrive0: image sent, waiting for the drive to restart on it");

        sentBeforeCancel = held->received;
        QElapsedTimer clock;
        clock.start();
        if (closeBox) {
            dialog.close();
        } else {
            QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        }
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_TRUE(held->blocked) << "the command sent is left to finish by itself";
        ASSERT_EQ(answerer.boxes.size(), 2u);
        EXPECT_EQ(answerer.boxes[1].text,
                  "\\\\.\\physicaldrive0: cancelled while in work; nothing more was sent to it\n"
                  "\\\\.\\physicaldrive1: not attempted, the download was cancelled\n"
                  "0 of 2 drives took the image");
    });
    held->Release();
    QTRY_COMPARE_WITH_TIMEOUT(held->answered.load(), sentBeforeCancel, 3000);
    QTest::qWait(200);
    EXPECT_EQ(held->received.load(), sentBeforeCancel) << "nothing more went to that drive";
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Ways, DownloadHeldDriveTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "CloseBox" : "Cancel"; });

TEST_F(DownloadDialogTest, NotConfirmedSendsNothing)
{
    StartBench();
    Select(0);
    const uint64_t before = Disk(0).CommandsReceived();
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer(false);
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        EXPECT_EQ(answerer.boxes.size(), 1u);
        EXPECT_FALSE(dialog.TimerRunning());
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_EQ(Disk(0).CommandsReceived(), before);
}

TEST_F(DownloadDialogTest, QuitDuringADownloadAsksThenEndsItBeforeTheNextDrive)
{
    // The first drive takes long enough to restart that the quit comes while
    // it is waited for.
    StartBench({{"microcode", {{"restartSeconds", 60}}}});
    Select(0);
    Select(1);
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.StatusLine()->text().contains(QStringLiteral("waiting for the drive")), 3000);
        Frame().close();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        ASSERT_EQ(answerer.boxes.size(), 3u);
        EXPECT_TRUE(answerer.boxes[1].text.startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
        EXPECT_EQ(answerer.boxes[2].text,
                  "\\\\.\\physicaldrive0: cancelled while in work; nothing more was sent to it\n"
                  "\\\\.\\physicaldrive1: not attempted, the download was cancelled\n"
                  "0 of 2 drives took the image");
    });
    QTRY_VERIFY(!Frame().isVisible());
    EXPECT_EQ(Disk(0).MicrocodeImagesTaken(), 1u);
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 0u);
}

}  // namespace
