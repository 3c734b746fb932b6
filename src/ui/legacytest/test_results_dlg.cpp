#include "ui/legacytest/test_results_dlg.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "drives/run_messages.h"
#include "forms/ui_test_results_dlg.h"
#include "scsi/report.h"
#include "scsi/stop.h"

CTestResultsDlg::CTestResultsDlg(TestResultsOwner* owner, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CTestResultsDlg>()), owner(owner)
{
    ui->setupUi(this);
    setModal(false);
    connect(ui->startButton, &QPushButton::clicked, this, &CTestResultsDlg::accept);
    connect(ui->stopButton, &QPushButton::clicked, this, &CTestResultsDlg::OnStop);
    connect(ui->cancelButton, &QPushButton::clicked, this, &CTestResultsDlg::reject);
}

CTestResultsDlg::~CTestResultsDlg() = default;

QPlainTextEdit& CTestResultsDlg::OutputEdit() const { return *ui->outputEdit; }

QPushButton& CTestResultsDlg::StartButton() const { return *ui->startButton; }

void CTestResultsDlg::AllowStart(bool allowed) { ui->startButton->setEnabled(allowed && !started); }

void CTestResultsDlg::ShowWaiting(bool waiting)
{
    ui->waitingLabel->setText(waiting ? QString::fromUtf8(kMsgWaitingForDrive) : QString());
    ui->waitingLabel->setVisible(waiting);
}

void CTestResultsDlg::accept()
{
    if (started || !ui->startButton->isEnabled()) return;
    if (owner != nullptr && selection != nullptr) {
        if (!owner->StartTests(*selection)) return;
        // The report text as it stood when the run began, traced.
        ReportStringDump(ui->outputEdit->toPlainText().toStdString().c_str());
    }
    started = true;
    ui->startButton->setEnabled(false);
}

void CTestResultsDlg::reject()
{
    // The drive is testing itself: the dialog must stay until it is done.
    if (g_bNoAbort.load() != 0) return;
    if (owner == nullptr) {
        QDialog::reject();
        return;
    }
    owner->PostTestCancel();
}

void CTestResultsDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}

void CTestResultsDlg::OnStop()
{
    if (owner != nullptr) owner->PostTestStop();
}
