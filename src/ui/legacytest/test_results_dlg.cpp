#include "ui/legacytest/test_results_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "drives/run_messages.h"
#include "forms/ui_test_results_dlg.h"
#include "scsi/report.h"
#include "scsi/stop.h"

namespace {

enum Column { kDriveColumn, kSubtestColumn, kProgressColumn, kRateColumn, kTimeLeftColumn, kResultColumn, kStopColumn };
constexpr int kProgressWidth = 110;

}  // namespace

CTestResultsDlg::CTestResultsDlg(TestResultsOwner* owner, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CTestResultsDlg>()), owner(owner)
{
    ui->setupUi(this);
    setModal(false);
    connect(ui->startButton, &QPushButton::clicked, this, &CTestResultsDlg::accept);
    connect(ui->stopButton, &QPushButton::clicked, this, &CTestResultsDlg::OnStop);
    connect(ui->cancelButton, &QPushButton::clicked, this, &CTestResultsDlg::reject);
    // The rows are read, not picked: no hover marks one out.
    ui->driveTable->viewport()->setAttribute(Qt::WA_Hover, false);
    // The result takes what room is left; the bars keep one width.
    QHeaderView& header = *ui->driveTable->horizontalHeader();
    header.setSectionResizeMode(QHeaderView::ResizeToContents);
    header.setSectionResizeMode(kProgressColumn, QHeaderView::Fixed);
    header.resizeSection(kProgressColumn, kProgressWidth);
    header.setSectionResizeMode(kResultColumn, QHeaderView::Stretch);
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

bool CTestResultsDlg::AllAtOnce() const { return ui->parallelCheck->isChecked(); }

void CTestResultsDlg::ShowDriveRows(bool shown)
{
    ui->driveTable->setVisible(shown);
    ui->driveReports->setVisible(shown);
    ui->outputEdit->setVisible(!shown);
}

void CTestResultsDlg::ClearDrives()
{
    ui->driveTable->setRowCount(0);
    while (ui->driveReports->count() > 0) {
        QWidget* page = ui->driveReports->widget(0);
        ui->driveReports->removeTab(0);
        delete page;
    }
}

QPlainTextEdit& CTestResultsDlg::AddDrive(const QString& name)
{
    // Each tab reads as the report of a run of that drive alone.
    auto* edit = new QPlainTextEdit(ui->driveReports);
    edit->setObjectName(QStringLiteral("report:") + name);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setFocusPolicy(Qt::NoFocus);
    ui->driveReports->addTab(edit, name);

    QTableWidget& table = *ui->driveTable;
    const int row = table.rowCount();
    table.insertRow(row);
    for (int column = 0; column < kStopColumn; ++column) table.setItem(row, column, new QTableWidgetItem());
    table.item(row, kDriveColumn)->setText(name);
    auto* bar = new QProgressBar(&table);
    bar->setRange(0, 100);
    table.setCellWidget(row, kProgressColumn, bar);
    auto* stop = new QPushButton(tr("Stop"), &table);
    stop->setObjectName(QStringLiteral("stop:") + name);
    stop->setAutoDefault(false);
    // A click leaves the focus where it was: the row it went to would be
    // marked out as if picked.
    stop->setFocusPolicy(Qt::TabFocus);
    connect(stop, &QPushButton::clicked, this, [this, row] {
        if (owner != nullptr) owner->PostDriveStop(static_cast<size_t>(row));
    });
    table.setCellWidget(row, kStopColumn, stop);
    return *edit;
}

void CTestResultsDlg::SetDriveRows(const std::vector<DriveRow>& rows)
{
    QTableWidget& table = *ui->driveTable;
    for (int row = 0; row < table.rowCount() && static_cast<size_t>(row) < rows.size(); ++row) {
        const DriveRow& shown = rows[static_cast<size_t>(row)];
        table.item(row, kSubtestColumn)->setText(QString::fromStdString(shown.subtest));
        table.item(row, kRateColumn)->setText(QString::fromStdString(shown.rate));
        table.item(row, kTimeLeftColumn)->setText(QString::fromStdString(shown.timeLeft));
        table.item(row, kResultColumn)->setText(QString::fromStdString(shown.result));
        static_cast<QProgressBar*>(table.cellWidget(row, kProgressColumn))->setValue(shown.percent);
        table.cellWidget(row, kStopColumn)->setEnabled(shown.stoppable);
    }
}

void CTestResultsDlg::accept()
{
    if (started || !ui->startButton->isEnabled()) return;
    if (owner != nullptr && selection != nullptr) {
        if (!owner->StartTests(*selection, AllAtOnce())) return;
        // The report text as it stood when the run began, traced.
        ReportStringDump(ui->outputEdit->toPlainText().toStdString().c_str());
    }
    started = true;
    ui->startButton->setEnabled(false);
}

void CTestResultsDlg::reject()
{
    // A drive is testing itself: the dialog must stay until it is done.
    if (g_bNoAbort.load() != 0 || (owner != nullptr && owner->InNoAbortStep())) return;
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
