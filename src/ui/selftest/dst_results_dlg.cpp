#include "ui/selftest/dst_results_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

template <typename Widget>
Widget* Control(int id, Widget* widget)
{
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

CDstResultsDlg::CDstResultsDlg(const std::string& pathPrefix, QWidget* parent)
    : QDialog(parent), prompts(this), timer(new QTimer(this))
{
    CreateControls();
    output = std::make_unique<OutputEdit>(*outputEdit);
    timer->setObjectName(QStringLiteral("DST_TIMER"));
    timer->setInterval(kDstTimerMilliseconds);
    connect(timer, &QTimer::timeout, this, &CDstResultsDlg::OnTimer);

    DstRunSetup setup;
    setup.output = output.get();
    setup.clock = &systemClock;
    setup.keyboard = &keyboard;
    setup.prompts = &prompts;
    setup.pathPrefix = pathPrefix;
    run = std::make_unique<DstRun>(static_cast<DstRunHost&>(*this), setup);

    connect(startButton, &QPushButton::clicked, this, &CDstResultsDlg::OnStart);
    connect(stopButton, &QPushButton::clicked, this, &CDstResultsDlg::OnStop);
    connect(cancelButton, &QPushButton::clicked, this, &CDstResultsDlg::OnCancelButton);
    quickRadio->setChecked(true);
}

CDstResultsDlg::~CDstResultsDlg()
{
    // Destroyed without being closed (its owner went first): the drives
    // must not be left testing.
    timer->stop();
    run->AbortRunningSelfTests();
}

void CDstResultsDlg::CreateControls()
{
    setObjectName(QString::number(kDialogId));
    setWindowTitle(QStringLiteral("DST Results"));

    outputEdit = Control(kOutputId, new QPlainTextEdit(this));
    outputEdit->setReadOnly(true);
    outputEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    outputEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outputEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outputEdit->setMinimumSize(460, 300);

    startButton = Control(kStartId, new QPushButton(QStringLiteral("START"), this));
    startButton->setDefault(true);
    stopButton = Control(kStopId, new QPushButton(QStringLiteral("STOP"), this));
    stopButton->setAutoDefault(false);
    cancelButton = Control(kCancelId, new QPushButton(QStringLiteral("Cancel"), this));
    cancelButton->setAutoDefault(false);

    auto* selection = new QGroupBox(QStringLiteral("DST selection"), this);
    quickRadio = Control(kQuickId, new QRadioButton(QStringLiteral("Quick DST"), selection));
    advancedRadio = Control(kAdvancedId, new QRadioButton(QStringLiteral("Advanced DST"), selection));
    bothRadio = Control(kBothId, new QRadioButton(QStringLiteral("Both"), selection));
    auto* radios = new QVBoxLayout(selection);
    for (QRadioButton* radio : {quickRadio, advancedRadio, bothRadio}) radios->addWidget(radio);

    progressBar = Control(kProgressId, new QProgressBar(this));
    progressBar->setAccessibleName(QStringLiteral("Progress1"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    auto* layout = new QGridLayout(this);
    layout->addWidget(outputEdit, 0, 0, 5, 1);
    layout->addWidget(startButton, 0, 1);
    layout->addWidget(stopButton, 1, 1);
    layout->addWidget(cancelButton, 2, 1);
    layout->addWidget(selection, 3, 1);
    layout->setRowStretch(4, 1);
    layout->addWidget(progressBar, 5, 0, 1, 2);
    setTabOrder(startButton, stopButton);
    setTabOrder(stopButton, cancelButton);
    setTabOrder(cancelButton, quickRadio);
    setTabOrder(quickRadio, outputEdit);
}

int CDstResultsDlg::SelectedMode() const
{
    if (advancedRadio->isChecked()) return kDstModeAdvanced;
    if (bothRadio->isChecked()) return kDstModeBoth;
    return kDstModeQuick;
}

void CDstResultsDlg::OnStart() { run->OnStart(SelectedMode()); }

void CDstResultsDlg::OnStop() { run->OnStop(); }

void CDstResultsDlg::OnCancelButton()
{
    run->OnCancelButton();
    done(0);
}

void CDstResultsDlg::OnTimer() { run->OnTimer(); }

void CDstResultsDlg::done(int result)
{
    timer->stop();
    run->AbortRunningSelfTests();
    QDialog::done(result);
}

void CDstResultsDlg::SetProgress(int percent) { progressBar->setValue(percent); }

void CDstResultsDlg::EnableStart(bool enabled) { startButton->setEnabled(enabled); }

void CDstResultsDlg::SetTimer() { timer->start(); }

void CDstResultsDlg::KillTimer() { timer->stop(); }
