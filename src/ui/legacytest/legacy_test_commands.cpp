#include "ui/legacytest/legacy_test_commands.h"

#include <QPlainTextEdit>

#include "drives/device_entry.h"
#include "platform/device_catalog.h"

#include "platform/clock.h"
#include "platform/keyboard.h"
#include "ui/legacytest/paced_output.h"
#include "ui/legacytest/subtest_select_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/view_commands.h"

LegacyTestCommands::LegacyTestCommands(CKestrionView& view, DeviceCatalog& catalog)
    : QObject(&view),
      view(view),
      catalog(catalog),
      clock(std::make_unique<SystemClock>()),
      run(std::make_unique<LegacyTestRun>()),
      atOnce(std::make_unique<ParallelTestRun>())
{
    setObjectName(QStringLiteral("legacyTestCommands"));
    rowsTimer.setInterval(500);
    connect(&rowsTimer, &QTimer::timeout, this, &LegacyTestCommands::ShowDriveRows);
    // Registered for the view's whole life: the program does not end under it.
    view.Runs().Add(*this);
}

LegacyTestCommands::~LegacyTestCommands()
{
    // The worker may still write to the outputs and paint buttons; a writer
    // waiting for the edit to catch up must not hold the join up.
    if (output) output->Close();
    for (const auto& drive : driveOutputs) drive->Close();
    run.reset();
    atOnce.reset();
    delete dialog.data();
}

void LegacyTestCommands::ShowTestResultsDialog(const SubtestSelection* selection)
{
    if (dialog) {
        dialog->SetSelection(selection);
        return;
    }
    // Owned by the main window, as a dialog without a parent of its own is.
    dialog = new CTestResultsDlg(this, view.window());
    dialog->setWindowFlag(Qt::Dialog);
    dialog->SetSelection(selection);
    if (output) retiredOutputs.push_back(std::move(output));
    for (auto& drive : driveOutputs) retiredOutputs.push_back(std::move(drive));
    driveOutputs.clear();
    if (!Running()) retiredOutputs.clear();
    output = std::make_unique<PacedOutput>(dialog->OutputEdit());
    // A stopped worker may still be inside a long command: START waits for it.
    dialog->AllowStart(!Running());
    dialog->ShowWaiting(Stopping());
    dialog->show();
}

void LegacyTestCommands::OnSelectSubtests()
{
    CSubtestSelectDlg select(view.window());
    select.SetSelection(custom);
    if (select.exec() != QDialog::Accepted) return;
    custom = select.Selection();
    ShowTestResultsDialog(&custom);
}

bool LegacyTestCommands::StartTests(const SubtestSelection& selection, bool allAtOnce)
{
    if (!output) return false;
    if (!keyboard) keyboard = MakeConsoleKeyboard();
    output->Clear();
    TestEnvironment environment;
    environment.clock = clock.get();
    environment.keyboard = keyboard.get();
    environment.catalog = &catalog;
    // Neither kind of run starts while a worker of the other still runs.
    const bool started = !Running() && (allAtOnce ? StartAtOnce(selection, environment)
                                                  : run->Start(output.get(), selection, environment, [this] {
                                                        QMetaObject::invokeMethod(
                                                            this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection);
                                                    }));
    if (!started) {
        output->Append("The stopped test run is still inside its last command; START again once it has ended.\r\n");
        dialog->AllowStart(false);
    }
    return started;
}

bool LegacyTestCommands::StartAtOnce(const SubtestSelection& selection, const TestEnvironment& environment)
{
    for (const auto& drive : driveOutputs) drive->Close();
    retiredOutputs.insert(retiredOutputs.end(), std::make_move_iterator(driveOutputs.begin()),
                          std::make_move_iterator(driveOutputs.end()));
    driveOutputs.clear();
    dialog->ClearDrives();
    dialog->ShowDriveRows(true);
    const std::string prefix = catalog.PathPrefix();
    const bool started = atOnce->Start(
        [this, &prefix](size_t, const DeviceEntry& entry) {
            const QString name = QString::fromStdString(DrivePathForReport(entry.path, prefix));
            driveOutputs.push_back(std::make_unique<PacedOutput>(dialog->AddDrive(name)));
            return driveOutputs.back().get();
        },
        selection, environment,
        [this] { QMetaObject::invokeMethod(this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection); });
    if (started) {
        ShowDriveRows();
        rowsTimer.start();
    }
    return started;
}

void LegacyTestCommands::ShowDriveRows()
{
    if (!dialog) return;
    std::vector<DriveRow> rows;
    for (size_t index = 0; index < atOnce->DriveCount(); ++index) {
        const ParallelTestRun::Drive& drive = atOnce->DriveAt(index);
        const SequenceProgress::Reading reading = drive.Progress();
        DriveRow row;
        if (reading.subtest >= 0) row.subtest = Subtests()[static_cast<size_t>(reading.subtest)].label;
        row.percent = static_cast<int>(reading.RunFraction() * 100.0 + 0.5);
        row.rate = RateText(reading.BytesPerSecond());
        // Only a scan has a time to tell; before its rate is known it says so.
        if (drive.Running() && reading.sequential) row.timeLeft = TimeLeftText(reading.SecondsLeft());
        row.result = DriveResultText(drive);
        row.stoppable = drive.Running() && !drive.Stopping();
        rows.push_back(std::move(row));
    }
    dialog->SetDriveRows(rows);
}

void LegacyTestCommands::PostDriveStop(size_t row)
{
    QMetaObject::invokeMethod(
        this,
        [this, row] {
            atOnce->RequestStop(row);
            ShowDriveRows();
            if (atOnce->Stopping()) view.NoteStopRequested();
        },
        Qt::QueuedConnection);
}

void LegacyTestCommands::OnWorkerFinished()
{
    retiredOutputs.clear();
    if (!atOnce->Running()) {
        rowsTimer.stop();
        ShowDriveRows();
    }
    if (!dialog) return;
    dialog->ShowWaiting(false);
    dialog->AllowStart(true);
}

void LegacyTestCommands::PostTestStop()
{
    QMetaObject::invokeMethod(this, [this] { OnTestStop(); }, Qt::QueuedConnection);
}

void LegacyTestCommands::PostTestCancel()
{
    QMetaObject::invokeMethod(this, [this] { OnTestCancel(); }, Qt::QueuedConnection);
}

void LegacyTestCommands::OnTestStop()
{
    // The run knows its own drives: whatever the buttons show, a running
    // worker is told to stop.
    run->RequestStop();
    atOnce->RequestStop();
    ShowDriveRows();
    if (!Stopping()) return;
    if (dialog) dialog->ShowWaiting(true);
    view.NoteStopRequested();
}

void LegacyTestCommands::OnTestCancel()
{
    OnTestStop();
    if (!dialog) return;
    // A stopped worker may still write; its text has nowhere to go now.
    if (output) output->Close();
    for (const auto& drive : driveOutputs) drive->Close();
    dialog->hide();
    dialog->deleteLater();
    dialog = nullptr;
}

void InstallLegacyTestCommands(CKestrionView& view, DeviceCatalog& catalog)
{
    // A child of the view: it lives as long as the view does.
    auto* commands = new LegacyTestCommands(view, catalog);
    view.SetCommandHandler(kCmdQuickTest, [commands] { commands->ShowTestResultsDialog(commands->Quick()); });
    view.SetCommandHandler(kCmdLongTest, [commands] { commands->ShowTestResultsDialog(commands->Long()); });
    view.SetCommandHandler(kCmdSelectSubtests, [commands] { commands->OnSelectSubtests(); });
}
