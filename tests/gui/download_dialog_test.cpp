// The Download File dialog on a simulated bench: command 32789, the setup
// check, the Download and Cancel buttons, the question and message boxes.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include "download/ui/download_dlg.h"
#include "shell/ui/main_frame.h"
#include "platform/sim_catalog.h"
#include "shell/device_table.h"
#include "shell/ui/device_button.h"
#include "shell/ui/kestrion_view.h"
#include "sim/sim_disk.h"
#include "box_answerer.h"
#include "workstation_fixture.h"

namespace {

constexpr int kDownloadCommand = 32789;

class DownloadDialogTest : public WorkstationTest {
protected:
    // Two drives on bus 0; extra bench keys for the first.
    void StartBench(const nlohmann::json& firstExtra = nlohmann::json::object())
    {
        nlohmann::json first = {{"bus", 0}, {"targetId", 0}, {"vendor", "MORVANE"}, {"product", "MVX-18LW"},
                                {"revision", "0412"}, {"serial", "3KA04417"}, {"blocks", 1000}};
        first.update(firstExtra);
        nlohmann::json second = {{"bus", 0}, {"targetId", 1}, {"vendor", "MORVANE"}, {"product", "MVX-36LW"},
                                 {"revision", "0412"}, {"serial", "3KB11090"}, {"blocks", 1000}};
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
        EXPECT_EQ(answerer.boxes.size(), 1u) << "no message after a good download";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
        SaveScreenshot(dialog.grab().toImage(), QStringLiteral("download-dialog.png"));
        dialog.reject();
    });
    EXPECT_EQ(Disk(0).MicrocodeImage(), std::vector<uint8_t>(70000, 0x5A));
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 1u);
}

TEST_F(DownloadDialogTest, ATimeoutIsShownAndClosesTheDialog)
{
    StartBench({{"microcode", {{"neverReady", true}}}});
    Select(0);
    Select(1);
    OpenDialog([&](CDownloadDlg& dialog) {
        BoxAnswerer answerer;
        QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
        ASSERT_EQ(answerer.boxes.size(), 2u);
        EXPECT_EQ(answerer.boxes[1].text, "Timeout during Download - \\\\.\\physicaldrive0");
    });
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 0u) << "the download ends at the error";
}

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
    StartBench();
    Select(0);
    Select(1);
    QString question;
    OpenDialog([&](CDownloadDlg& dialog) {
        {
            BoxAnswerer confirm;
            QTest::mouseClick(dialog.DownloadButton(), Qt::LeftButton);
        }
        ASSERT_TRUE(dialog.Sequence().Busy()) << "the first drive is being checked";
        WithModalDialog([&] { Frame().close(); },
                        [&](QDialog& dialog) {
                            auto* box = qobject_cast<QMessageBox*>(&dialog);
                            ASSERT_NE(box, nullptr);
                            question = box->text();
                            box->button(QMessageBox::Yes)->click();
                        });
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 3000);
    });
    EXPECT_TRUE(question.startsWith(QStringLiteral("Drives are still being worked on. Quit anyway?")));
    QTRY_VERIFY(!Frame().isVisible());
    EXPECT_EQ(Disk(0).MicrocodeImagesTaken(), 1u);
    EXPECT_EQ(Disk(1).MicrocodeImagesTaken(), 0u);
}

}  // namespace
