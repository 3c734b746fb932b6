#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "legacytest/subtest_selection.h"

class QCloseEvent;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class CTestResultsDlg;
}

// Who acts on the results dialog's buttons: the view's test commands.
class TestResultsOwner {
public:
    virtual ~TestResultsOwner() = default;
    // START: starts a worker on the dialog's selection, or one per drive
    // when allAtOnce; false when none could start (START then stays
    // enabled).
    virtual bool StartTests(const SubtestSelection& selection, bool allAtOnce) = 0;
    // STOP and CANCEL, posted: they take effect once the button's own
    // handling has returned.
    virtual void PostTestStop() = 0;
    virtual void PostTestCancel() = 0;
    // A row's stop: that drive alone.
    virtual void PostDriveStop(size_t row) = 0;
    // Some drive is in a step that must not be cut off: CANCEL waits.
    virtual bool InNoAbortStep() const = 0;
};

// One drive's row while every drive is tested at once.
struct DriveRow {
    std::string drive;
    std::string subtest;
    int percent = 0;
    std::string rate;
    std::string timeLeft;
    std::string result;
    bool stoppable = false;  // its worker runs and has not been asked to stop
};

// "Display Current Test Results" (140): the running report of a test run,
// with START, STOP and CANCEL. Modeless; the owner destroys it on CANCEL.
class CTestResultsDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTestResultsDlg(TestResultsOwner* owner, QWidget* parent = nullptr);
    ~CTestResultsDlg() override;

    // The selection the next START runs with.
    void SetSelection(const SubtestSelection* selection) { this->selection = selection; }
    const SubtestSelection* Selection() const { return selection; }

    QPlainTextEdit& OutputEdit() const;
    QPushButton& StartButton() const;
    // START can be pressed once per window.
    bool Started() const { return started; }
    // Enables START unless this window has started a run already.
    void AllowStart(bool allowed);
    // Says, while a stopped worker is still inside a drive's command, that
    // the run waits for that command to end.
    void ShowWaiting(bool waiting);
    // "All drives at once" is checked.
    bool AllAtOnce() const;

    // The window of a run that tests every drive at once: a row and a
    // report tab per drive, in place of the one report.
    void ShowDriveRows(bool shown);
    // Empties the rows and tabs for a new run.
    void ClearDrives();
    // A drive joins the run: its row, and the tab whose edit its report
    // goes to.
    QPlainTextEdit& AddDrive(const QString& name);
    void SetDriveRows(const std::vector<DriveRow>& rows);

    // START (IDOK); the dialog stays open.
    void accept() override;
    // CANCEL, Escape and the close box; ignored inside a no-abort step.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnStop();

    std::unique_ptr<Ui::CTestResultsDlg> ui;
    TestResultsOwner* owner;
    const SubtestSelection* selection = nullptr;
    bool started = false;
};
