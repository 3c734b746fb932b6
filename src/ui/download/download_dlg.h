#pragma once

#include <memory>

#include <QFileDialog>
#include <QTimer>

#include "download/download_observer.h"
#include "download/download_sequence.h"
#include "download/microcode_image.h"

class QCheckBox;
class QLabel;
class QPushButton;
class UserPrompts;

// The Download File dialog: an open-file dialog whose own OK and Cancel
// give way to "Download" (1106) and "Cancel" (2). Download sends the image
// named in the file-name box to every selected drive, one after the other
// or, with "All drives at once" checked, all at the same time;
// each drive's work runs on a worker and a 25 ms timer follows it, so the
// window answers (and Cancel acts at once) however long a drive takes. A
// line beside the buttons says where the download is; at its end a message
// says what became of each drive. The dialog stays open for another
// download until Cancel or an error closes it.
class CDownloadDlg : public QFileDialog, private DownloadObserver {
    Q_OBJECT

public:
    // Message boxes go to `prompts`; with none the dialog shows its own.
    explicit CDownloadDlg(QWidget* parent = nullptr, UserPrompts* prompts = nullptr,
                          DownloadEnvironment environment = SystemDownloadEnvironment());
    ~CDownloadDlg() override;

    DownloadSequence& Sequence() { return *sequence; }
    QPushButton* DownloadButton() const { return downloadButton; }
    QPushButton* CancelButton() const { return cancelButton; }
    QLabel* StatusLine() const { return statusLine; }
    bool TimerRunning() const { return timer.isActive(); }
    // The file the Download button would send.
    QString ChosenFile() const;

public slots:
    void OnDownload();
    void OnCancel();
    // Enter or a double click on a file is a press of Download; on a folder
    // the dialog still opens it.
    void accept() override;
    // Escape and the window's close box are Cancel.
    void reject() override;

private slots:
    void OnTimer();

private:
    void ShowWholeColumns();
    void HideStandardButtons();
    void AddDownloadButtons();
    // Timer, buttons and closing as the sequence now wants them.
    void FollowSequence();

    void TransferStarting(const DeviceEntry& drive, uint32_t imageSize) override;
    void TransferEnded(const DeviceEntry& drive, const TransferResult& result) override;
    void DriveChecked(const DeviceEntry& drive, const ReadinessCheck& check) override;
    void DriveFinished(const DeviceEntry& drive, const DriveReport& report) override;
    void SequenceEnded(const std::vector<DriveReport>& reports) override;
    void RestoreCursor();

    std::unique_ptr<UserPrompts> ownPrompts;
    UserPrompts& prompts;
    PosixImageFileOpener opener;
    std::unique_ptr<DownloadSequence> sequence;
    QTimer timer;
    QPushButton* downloadButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QCheckBox* allAtOnce = nullptr;
    QLabel* statusLine = nullptr;
    bool waitCursor = false;
};
