#include "ui/download/download_dlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include "download/download_messages.h"
#include "download/download_summary.h"
#include "drives/device_entry.h"
#include "platform/user_prompts.h"
#include "ui/shell/qt_prompts.h"

namespace {

constexpr int kChildTemplateId = 156;
constexpr int kDownloadButtonId = 1106;
constexpr int kCancelButtonId = 2;
// On this platform "*.*" would leave out names without a dot.
constexpr const char* kAllFilesFilter = "All Files (*)";
constexpr const char* kStatusLineName = "downloadStatus";

}  // namespace

CDownloadDlg::CDownloadDlg(QWidget* parent, UserPrompts* prompts, DownloadEnvironment environment)
    : QFileDialog(parent, QString::fromUtf8(kDownloadFileTitle)),
      ownPrompts(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts(prompts ? *prompts : *ownPrompts)
{
    // Only the dialog drawn by Qt itself can take the Download button.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({QString::fromUtf8(kDownloadFileFilter), QString::fromUtf8(kAllFilesFilter)});
    setWindowTitle(QString::fromUtf8(kDownloadFileTitle));

    sequence = std::make_unique<DownloadSequence>(this->prompts, opener, static_cast<DownloadObserver*>(this),
                                                  std::move(environment));
    HideStandardButtons();
    AddDownloadButtons();
    ShowWholeColumns();
    resize(760, 440);
    timer.setInterval(kDownloadTimerPeriodMs);
    connect(&timer, &QTimer::timeout, this, &CDownloadDlg::OnTimer);
    sequence->OnInitDialog();
}

CDownloadDlg::~CDownloadDlg()
{
    timer.stop();
    RestoreCursor();
}

void CDownloadDlg::ShowWholeColumns()
{
    // Size and date of an image are worth reading in full before sending it.
    auto* files = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!files) return;
    QHeaderView* header = files->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

void CDownloadDlg::HideStandardButtons()
{
    if (auto* standard = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) standard->hide();
}

void CDownloadDlg::AddDownloadButtons()
{
    auto* row = new QWidget(this);
    row->setObjectName(QString::number(kChildTemplateId));
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    statusLine = new QLabel(row);
    statusLine->setObjectName(QString::fromUtf8(kStatusLineName));
    statusLine->setTextFormat(Qt::PlainText);
    buttons->addWidget(statusLine, 1);
    allAtOnce = new QCheckBox(QStringLiteral("All drives at once"), row);
    allAtOnce->setObjectName(QStringLiteral("allAtOnce"));
    allAtOnce->setToolTip(QStringLiteral("Download sends the image to every selected drive at the same time; a drive "
                                         "that fails stops no other"));
    buttons->addWidget(allAtOnce);
    downloadButton = new QPushButton(QString::fromUtf8(kDownloadButtonText), row);
    downloadButton->setObjectName(QString::number(kDownloadButtonId));
    downloadButton->setDefault(true);
    cancelButton = new QPushButton(QString::fromUtf8(kCancelButtonText), row);
    cancelButton->setObjectName(QString::number(kCancelButtonId));
    buttons->addWidget(downloadButton);
    buttons->addWidget(cancelButton);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (layout()) {
        layout()->addWidget(row);
    }
    connect(downloadButton, &QPushButton::clicked, this, &CDownloadDlg::OnDownload);
    connect(cancelButton, &QPushButton::clicked, this, &CDownloadDlg::OnCancel);
}

QString CDownloadDlg::ChosenFile() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void CDownloadDlg::OnDownload()
{
    const QString path = ChosenFile();
    // A folder in the file-name box is opened, as the file dialog would.
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        if (!path.isEmpty()) setDirectory(path);
        return;
    }
    timer.stop();
    sequence->SetAllAtOnce(allAtOnce->isChecked());
    sequence->OnDownload(QFile::encodeName(path).toStdString());
    FollowSequence();
}

void CDownloadDlg::OnCancel()
{
    sequence->OnCancel();
    FollowSequence();
}

void CDownloadDlg::OnTimer()
{
    // A message box runs its own event loop: the next tick must not run
    // inside this one.
    timer.stop();
    sequence->OnTimer();
    FollowSequence();
}

void CDownloadDlg::FollowSequence()
{
    downloadButton->setEnabled(!sequence->Busy());
    if (sequence->CloseRequested()) {
        timer.stop();
        QFileDialog::done(QDialog::Rejected);
        return;
    }
    if (!sequence->TimerActive()) {
        timer.stop();
    } else if (!timer.isActive()) {
        timer.start();
    }
}

void CDownloadDlg::accept()
{
    const QString path = ChosenFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        QFileDialog::accept();
        return;
    }
    OnDownload();
}

void CDownloadDlg::reject()
{
    OnCancel();
}

void CDownloadDlg::TransferStarting(const DeviceEntry& drive, uint32_t imageSize)
{
    statusLine->setText(QStringLiteral("%1: sending %2 bytes")
                            .arg(QString::fromStdString(drive.path))
                            .arg(imageSize));
    if (waitCursor) return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor = true;
}

void CDownloadDlg::TransferEnded(const DeviceEntry& drive, const TransferResult& result)
{
    RestoreCursor();
    const bool sent = result.outcome == TransferResult::Outcome::Sent;
    statusLine->setText(QString::fromStdString(drive.path) +
                        (sent ? QStringLiteral(": image sent, waiting for the drive to restart on it")
                              : QStringLiteral(": transfer failed, checking the drive")));
}

void CDownloadDlg::DriveChecked(const DeviceEntry& drive, const ReadinessCheck& check)
{
    statusLine->setText(QStringLiteral("%1: waiting for the drive, %2 s: %3")
                            .arg(QString::fromStdString(drive.path))
                            .arg(check.secondsWaited)
                            .arg(QString::fromStdString(ReadinessCheckText(check))));
}

void CDownloadDlg::DriveFinished(const DeviceEntry&, const DriveReport& report)
{
    statusLine->setText(QString::fromStdString(DriveReportText(report)));
}

void CDownloadDlg::SequenceEnded(const std::vector<DriveReport>& reports)
{
    RestoreCursor();
    const bool allOk = std::all_of(reports.begin(), reports.end(), DriveReportOk);
    const std::string summary = DownloadSummaryText(reports);
    // The count stays in view after the message is gone.
    statusLine->setText(QString::fromStdString(summary.substr(summary.rfind('\n') + 1)));
    prompts.Message(summary, kDownloadMessageCaption, allOk ? UserPrompts::Icon::Information : UserPrompts::Icon::Warning);
}

void CDownloadDlg::RestoreCursor()
{
    if (!waitCursor) return;
    QGuiApplication::restoreOverrideCursor();
    waitCursor = false;
}
