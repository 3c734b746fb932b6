#pragma once

#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "drives/active_runs.h"
#include "legacytest/parallel_test_run.h"
#include "legacytest/subtest_selection.h"
#include "legacytest/test_run.h"
#include "ui/legacytest/test_results_dlg.h"

class CKestrionView;
class DeviceCatalog;
class Keyboard;
class PacedOutput;
class SystemClock;

// The view's test commands: 101 (quick), 102 (long) and 32778 (hand-picked
// subtests), the results dialog they open, and the worker it starts.
class LegacyTestCommands final : public QObject, public TestResultsOwner, public ActiveRun {
    Q_OBJECT

public:
    LegacyTestCommands(CKestrionView& view, DeviceCatalog& catalog);
    // Stops a worker still running and waits for it.
    ~LegacyTestCommands() override;

    // Opens the results dialog on a selection, or, when it is open, only
    // makes that selection the one its next START runs.
    void ShowTestResultsDialog(const SubtestSelection* selection);
    // Command 32778: the selection dialog, then the results dialog.
    void OnSelectSubtests();

    // The STOP and CANCEL messages: a running worker is asked to stop, and
    // the windows say they wait while it is still inside a drive's command;
    // CANCEL also destroys the results window.
    void OnTestStop();
    void OnTestCancel();

    CTestResultsDlg* Dialog() const { return dialog; }
    const SubtestSelection* Quick() const { return &quick; }
    const SubtestSelection* Long() const { return &longer; }
    const SubtestSelection& CustomSelection() const { return custom; }
    LegacyTestRun& Run() { return *run; }
    ParallelTestRun& RunAtOnce() { return *atOnce; }

    bool StartTests(const SubtestSelection& selection, bool allAtOnce) override;
    void PostTestStop() override;
    void PostTestCancel() override;
    void PostDriveStop(size_t row) override;
    bool InNoAbortStep() const override { return atOnce->InNoAbortStep(); }

    // The workers, for the program that must not end under them.
    bool Running() const override { return run->Running() || atOnce->Running(); }
    bool Stopping() const override { return run->Stopping() || atOnce->Stopping(); }
    void RequestStop() override { OnTestStop(); }

    // The rows of a run of every drive at once, as they stand now.
    void ShowDriveRows();

private:
    bool StartAtOnce(const SubtestSelection& selection, const TestEnvironment& environment);
    void OnWorkerFinished();

    CKestrionView& view;
    DeviceCatalog& catalog;
    const SubtestSelection quick = QuickSelection();
    const SubtestSelection longer = LongSelection();
    SubtestSelection custom = CustomSelectionAtStart();
    QPointer<CTestResultsDlg> dialog;
    std::unique_ptr<SystemClock> clock;
    std::unique_ptr<Keyboard> keyboard;
    // The worker writes to these, so they outlive it: declared before it.
    std::unique_ptr<PacedOutput> output;
    std::vector<std::unique_ptr<PacedOutput>> driveOutputs;  // one per drive of a run at once
    std::vector<std::unique_ptr<PacedOutput>> retiredOutputs;
    std::unique_ptr<LegacyTestRun> run;
    std::unique_ptr<ParallelTestRun> atOnce;
    // Repaints the rows while every drive is tested at once.
    QTimer rowsTimer;
};

// Installs the commands on the view (and enables them).
void InstallLegacyTestCommands(CKestrionView& view, DeviceCatalog& catalog);
