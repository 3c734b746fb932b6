#include "ui/legacytest/legacy_test_commands.h"

#include <QPlainTextEdit>

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
      run(std::make_unique<LegacyTestRun>())
{
    setObjectName(QStringLiteral("legacyTestCommands"));
    // Registered for the view's whole life: the program does not end under it.
    view.Runs().Add(*this);
}

LegacyTestCommands::~LegacyTestCommands()
{
    // The worker may still write to the outputs and paint buttons; a writer
    // waiting for the edit to catch up must not hold the join up.
    if (output) output->Close();
    run.reset();
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
    if (!run->Running()) retiredOutputs.clear();
    output = std::make_unique<PacedOutput>(dialog->OutputEdit());
    // A stopped worker may still be inside a long command: START waits for it.
    dialog->AllowStart(!run->Running());
    dialog->ShowWaiting(run->Stopping());
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

bool LegacyTestCommands::StartTests(const SubtestSelection& selection)
{
    if (!output) return false;
    if (!keyboard) keyboard = MakeConsoleKeyboard();
    output->Clear();
    TestEnvironment environment;
    environment.clock = clock.get();
    environment.keyboard = keyboard.get();
    environment.catalog = &catalog;
    const bool started = run->Start(output.get(), selection, environment, [this] {
        QMetaObject::invokeMethod(this, [this] { OnWorkerFinished(); }, Qt::QueuedConnection);
    });
    if (!started) {
        output->Append("The stopped test run is still inside its last command; START again once it has ended.\r\n");
        dialog->AllowStart(false);
    }
    return started;
}

void LegacyTestCommands::OnWorkerFinished()
{
    retiredOutputs.clear();
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
    if (!run->Stopping()) return;
    if (dialog) dialog->ShowWaiting(true);
    view.NoteStopRequested();
}

void LegacyTestCommands::OnTestCancel()
{
    OnTestStop();
    if (!dialog) return;
    // A stopped worker may still write; its text has nowhere to go now.
    if (output) output->Close();
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
