#include "ui/scan/surface_scan_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "drives/device_entry.h"
#include "drives/run_pace.h"
#include "scan/scan_messages.h"
#include "scan/scan_run.h"
#include "ui/scan/scan_board.h"
#include "ui/shell/qt_prompts.h"

namespace {

enum Column { kDrive, kMethod, kProgress, kLba, kRate, kTimeLeft, kFailed, kResult, kStop, kColumns };

constexpr int kProgressSteps = 1000;

const char* OutcomeWord(ScanOutcome outcome)
{
    switch (outcome) {
    case ScanOutcome::Passed:
        return "passed";
    case ScanOutcome::Failed:
        return "failed";
    case ScanOutcome::Stopped:
        return "stopped";
    case ScanOutcome::DriveLost:
        return "drive lost";
    case ScanOutcome::DriveError:
        break;
    }
    return "not scanned";
}

// Empty: the range's own end. Otherwise a block number, or an error.
bool ReadLba(const QLineEdit& field, const char* name, std::optional<uint64_t>& lba, std::string& error)
{
    const QString text = field.text().trimmed();
    lba.reset();
    if (text.isEmpty()) return true;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok) {
        error = std::string(name) + ": \"" + text.toStdString() + "\" is not a block number";
        return false;
    }
    lba = value;
    return true;
}

void SetCell(QTableWidget& table, int row, int column, const QString& text)
{
    QTableWidgetItem* item = table.item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled);
        table.setItem(row, column, item);
    }
    if (item->text() != text) item->setText(text);
}

}  // namespace

CSurfaceScanDlg::CSurfaceScanDlg(RunDrives drives, QWidget* parent)
    : QDialog(parent), drives(std::move(drives)), timer(new QTimer(this))
{
    CreateControls();
    timer->setObjectName(QStringLiteral("scanTimer"));
    timer->setInterval(kTickMilliseconds);
    connect(timer, &QTimer::timeout, this, &CSurfaceScanDlg::OnTick);
    connect(startButton, &QPushButton::clicked, this, &CSurfaceScanDlg::OnStart);
    connect(stopAllButton, &QPushButton::clicked, this, &CSurfaceScanDlg::OnStopAll);
    connect(closeButton, &QPushButton::clicked, this, &CSurfaceScanDlg::reject);
    ShowIdle(true);
}

CSurfaceScanDlg::~CSurfaceScanDlg()
{
    timer->stop();
    if (!run) return;
    run->StopAll();
    run.reset();
    for (DeviceEntry* entry : drives.Drives()) SetIdleColour(*entry);
}

void CSurfaceScanDlg::CreateControls()
{
    setObjectName(QStringLiteral("surfaceScanDialog"));
    setWindowTitle(QStringLiteral("Surface Scan"));

    method = new QComboBox(this);
    method->setObjectName(QStringLiteral("scanMethod"));
    method->addItems({QStringLiteral("The faster of READ and VERIFY"), QStringLiteral("READ"),
                      QStringLiteral("VERIFY")});
    from = new QLineEdit(this);
    from->setObjectName(QStringLiteral("scanFrom"));
    from->setPlaceholderText(QStringLiteral("first block"));
    to = new QLineEdit(this);
    to->setObjectName(QStringLiteral("scanTo"));
    to->setPlaceholderText(QStringLiteral("last block"));
    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("Method:"), this));
    options->addWidget(method);
    options->addSpacing(12);
    options->addWidget(new QLabel(QStringLiteral("From LBA:"), this));
    options->addWidget(from);
    options->addWidget(new QLabel(QStringLiteral("To LBA:"), this));
    options->addWidget(to);

    const std::vector<DeviceEntry*>& entries = drives.Drives();
    table = new QTableWidget(static_cast<int>(entries.size()), kColumns, this);
    table->setObjectName(QStringLiteral("scanTable"));
    table->setHorizontalHeaderLabels({QStringLiteral("Drive"), QStringLiteral("Method"), QStringLiteral("Progress"),
                                      QStringLiteral("LBA"), QStringLiteral("Rate"), QStringLiteral("Time left"),
                                      QStringLiteral("Failed"), QStringLiteral("Result"), QString()});
    table->verticalHeader()->hide();
    table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int row = 0; row < table->rowCount(); ++row) {
        const DeviceEntry& entry = *entries[static_cast<size_t>(row)];
        SetCell(*table, row, kDrive,
                QStringLiteral("%1 %2").arg(QString::fromStdString(entry.path), QString::fromLatin1(entry.productId)));
        auto* bar = new QProgressBar(table);
        bar->setRange(0, kProgressSteps);
        bar->setValue(0);
        bar->setFormat(QStringLiteral("%p%"));
        table->setCellWidget(row, kProgress, bar);
        auto* stop = new QPushButton(QStringLiteral("STOP"), table);
        stop->setObjectName(QStringLiteral("scanStop%1").arg(row));
        stop->setEnabled(false);
        connect(stop, &QPushButton::clicked, this, [this, row] { OnStopDrive(row); });
        table->setCellWidget(row, kStop, stop);
    }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(kProgress, QHeaderView::Stretch);
    table->setMinimumSize(860, 60 + 30 * static_cast<int>(entries.size()));

    report = new QPlainTextEdit(this);
    report->setObjectName(QStringLiteral("scanReport"));
    report->setReadOnly(true);
    report->setLineWrapMode(QPlainTextEdit::NoWrap);
    report->setMinimumHeight(160);

    startButton = new QPushButton(QStringLiteral("START"), this);
    startButton->setObjectName(QStringLiteral("scanStart"));
    startButton->setDefault(true);
    stopAllButton = new QPushButton(QStringLiteral("STOP ALL"), this);
    stopAllButton->setObjectName(QStringLiteral("scanStopAll"));
    stopAllButton->setAutoDefault(false);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("scanClose"));
    closeButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addWidget(stopAllButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(table, 1);
    layout->addWidget(report, 1);
    layout->addLayout(buttons);
}

void CSurfaceScanDlg::ShowIdle(bool idle)
{
    startButton->setEnabled(idle && !drives.Drives().empty());
    stopAllButton->setEnabled(!idle);
    closeButton->setEnabled(idle);
    method->setEnabled(idle);
    from->setEnabled(idle);
    to->setEnabled(idle);
}

void CSurfaceScanDlg::OnStart()
{
    if (Running()) return;
    ScanRequest request;
    std::string error;
    if (!ReadLba(*from, "From LBA", request.from, error) || !ReadLba(*to, "To LBA", request.to, error)) {
        QtPrompts(this).Message(error, "Surface Scan", UserPrompts::Icon::Warning);
        return;
    }
    request.choice = method->currentIndex() == 1   ? MethodChoice::Read
                     : method->currentIndex() == 2 ? MethodChoice::Verify
                                                   : MethodChoice::Faster;
    std::vector<ScanTarget> targets;
    std::vector<std::string> names;
    for (DeviceEntry* entry : drives.Drives()) {
        targets.push_back({entry->path, entry->handle, entry->lastLba, entry->blockLength});
        names.push_back(entry->path);
        SetTestColour(*entry);
    }
    run.reset();
    board = std::make_unique<ScanBoard>(names);
    run = std::make_unique<ScanRun>(std::move(targets), request, clock, *board);
    finished.assign(names.size(), false);
    stopAll = false;
    report->clear();
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column : {kMethod, kLba, kRate, kTimeLeft, kFailed}) SetCell(*table, row, column, QString());
        SetCell(*table, row, kResult, QStringLiteral("running"));
        static_cast<QProgressBar*>(table->cellWidget(row, kProgress))->setValue(0);
        table->cellWidget(row, kStop)->setEnabled(true);
    }
    ShowIdle(false);
    run->Start();
    timer->start();
}

void CSurfaceScanDlg::OnStopDrive(int row)
{
    if (!run || row < 0 || static_cast<size_t>(row) >= run->Size()) return;
    run->Stop(static_cast<size_t>(row));
    table->cellWidget(row, kStop)->setEnabled(false);
    if (!finished[static_cast<size_t>(row)]) SetCell(*table, row, kResult, QStringLiteral("stopping"));
}

void CSurfaceScanDlg::OnStopAll()
{
    if (!run) return;
    stopAll = true;
    for (int row = 0; row < table->rowCount(); ++row) OnStopDrive(row);
}

void CSurfaceScanDlg::OnTick()
{
    if (!run) return;
    const std::vector<ScanBoard::Row> rows = board->Rows();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const ScanBoard::Row& state = rows[static_cast<size_t>(row)];
        if (state.progress) {
            const ScanProgress& progress = *state.progress;
            SetCell(*table, row, kMethod, progress.sampling ? QStringLiteral("sampling") : MethodName(progress.method));
            static_cast<QProgressBar*>(table->cellWidget(row, kProgress))
                ->setValue(static_cast<int>(PercentDone(progress) * kProgressSteps / 100));
            SetCell(*table, row, kLba, QString::number(progress.nextLba));
            SetCell(*table, row, kRate, QString::fromStdString(progress.bytesPerSecond ? RateText(*progress.bytesPerSecond)
                                                                                       : "measuring"));
            SetCell(*table, row, kTimeLeft,
                    QString::fromStdString(progress.secondsLeft ? DurationText(*progress.secondsLeft) : "measuring"));
            SetCell(*table, row, kFailed, QString::number(progress.failures + progress.blocksNotRead));
        }
        if (!state.result || finished[static_cast<size_t>(row)]) continue;
        finished[static_cast<size_t>(row)] = true;
        SetCell(*table, row, kResult, OutcomeWord(state.result->outcome));
        if (state.result->outcome == ScanOutcome::Passed || state.result->outcome == ScanOutcome::Failed)
            SetCell(*table, row, kTimeLeft, QString::fromStdString(DurationText(0)));
        table->cellWidget(row, kStop)->setEnabled(false);
        SetIdleColour(*drives.Drives()[static_cast<size_t>(row)]);
    }
    for (const std::string& note : board->TakeNotes()) report->appendPlainText(QString::fromStdString(note));
    if (Running()) return;
    timer->stop();
    ShowIdle(true);
    if (closeWhenDone) QDialog::done(QDialog::Rejected);
}

bool CSurfaceScanDlg::Running() const
{
    if (!run) return false;
    for (size_t drive = 0; drive < finished.size(); ++drive)
        if (!finished[drive]) return true;
    return false;
}

bool CSurfaceScanDlg::Stopping() const { return stopAll && Running(); }

void CSurfaceScanDlg::done(int result)
{
    // A drive may be inside a long command: every scan is told to stop and
    // the window closes once they have all ended.
    if (Running()) {
        closeWhenDone = true;
        OnStopAll();
        return;
    }
    QDialog::done(result);
}
