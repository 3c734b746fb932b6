// The Download File dialog on a simulated bench: the Download and Cancel
// buttons, the question and message boxes, a drive that holds its check.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "box_answerer.h"
#include "drives/device_table.h"
#include "sim/sim_disk.h"
#include "support/blocking_device.h"
#include "ui/download/download_dlg.h"
#include "ui/shell/device_button.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/main_frame.h"
#include "workstation_fixture.h"

namespace {

constexpr int kDownloadCommand = 32789;

// Two drives that restart on the image (download_*.json); the first may
// never come back.
class DownloadDialogTest : public WorkstationTest {
protected:
    void StartBench(const std::string& benchFile)
    {
        Start(benchFile);
        ClickAt(*Button(0, 0), 20);
        ClickAt(*Button(0, 1), 20);
        ASSERT_TRUE(folder.isValid());
        QFile image(imagePath);
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(70000, '\x5A'));
    }

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
    const QString imagePath = folder.filePath(QStringLiteral("fw0412.lod"));
};

TEST_F(DownloadDialogTest, DownloadAsksThenSendsToEverySelectedDriveAndStaysOpen)
{
    StartBench("download_plain.json");
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u) << "the question";
        EXPECT_TRUE(dialog.TimerRunning());
        EXPECT_FALSE(dialog.DownloadButton()->isEnabled()) << "one download at a time";
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Sequence().Busy(), 3000);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.DownloadButton()->isEnabled());
        EXPECT_FALSE(dialog.TimerRunning());
        ASSERT_EQ(answerer.boxes.size(), 2u) << "what became of each drive";
        EXPECT_EQ(dialog.StatusLine()->text(), "2 of 2 drives took the image");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("download-dialog.png"));
        dialog.reject();
    });
    EXPECT_EQ(Disk(0).MicrocodeImage(), std::vector<uint8_t>(70000, 0x5A));
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 1u);
    EXPECT_STREQ(g_devices[0]->revision, "0415") << "Device Information shows the revision the drive runs now";
}

// Drive 0 never comes back on its image; with "All drives at once" drive 1
// takes the image all the same.
TEST_F(DownloadDialogTest, AnAbnormalAnswerIsShownAndClosesTheDialogAndAllAtOnceGoesOnWithTheOtherDrive)
{
    StartBench("download_never_ready.json");
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        dialog.findChild<QCheckBox*>(QStringLiteral("allAtOnce"))->setChecked(true);
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        ASSERT_EQ(answerer.boxes.size(), 3u);
        EXPECT_EQ(answerer.boxes[1], "Abnormal status during Download - \\\\.\\physicaldrive0, 02 04 03");
        EXPECT_TRUE(answerer.boxes[2].endsWith(QStringLiteral("1 of 2 drives took the image")));
    });
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 1u);
}

// The drive holds TEST UNIT READY after its transfer, as a drive that does
// not answer does; Cancel, the window's close box and quitting the program
// must act at once, and nothing more goes to the held drive or the next one.
enum class Ending { Cancel, CloseBox, Quit };

class DownloadHeldDriveTest : public DownloadDialogTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(DownloadHeldDriveTest, EndsAtOnceWhileADriveHoldsItsCheck)
{
    StartBench("download_plain.json");
    auto held = std::make_shared<BlockingDevice>(g_devices[0]->handle, 0x00);
    g_devices[0]->handle = held;
    int sentBeforeEnd = 0;
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(held->blocked.load(), 3000);
        QTest::qWait(100);
        EXPECT_TRUE(dialog.TimerRunning()) << "the window goes on while the drive holds the check";
        EXPECT_TRUE(dialog.StatusLine()->text().endsWith(QStringLiteral("waiting for the drive to restart on it")));
        sentBeforeEnd = held->received;
        if (GetParam() == Ending::Cancel) QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        if (GetParam() == Ending::CloseBox) dialog.close();
        if (GetParam() == Ending::Quit) Frame().close();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(held->blocked) << "closed at once: the command sent is left to finish by itself";
        ASSERT_EQ(answerer.boxes.size(), GetParam() == Ending::Quit ? 3u : 2u);
        EXPECT_TRUE(answerer.boxes.back().endsWith(QStringLiteral("0 of 2 drives took the image")));
        if (GetParam() == Ending::Quit) {
            EXPECT_TRUE(answerer.boxes[1].startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
        }
    });
    held->Release();
    QTRY_COMPARE_WITH_TIMEOUT(held->answered.load(), sentBeforeEnd, 3000);
    QTest::qWait(200);
    EXPECT_EQ(held->received.load(), sentBeforeEnd) << "nothing more went to that drive";
    EXPECT_EQ(Disk(0).MicrocodeImagesTaken(), 1u);
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 0u);
    QTRY_VERIFY(Frame().isVisible() == (GetParam() != Ending::Quit));
}

INSTANTIATE_TEST_SUITE_P(Ways, DownloadHeldDriveTest,
                         ::testing::Values(Ending::Cancel, Ending::CloseBox, Ending::Quit));

}  // namespace
