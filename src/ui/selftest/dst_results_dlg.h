#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "platform/clock.h"
#include "platform/keyboard.h"
#include "selftest/dst_run.h"
#include "ui/shell/output_edit.h"
#include "ui/shell/qt_prompts.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

// "DST Results" (dialog 155): starts the drives' own self-tests (quick,
// advanced or both one after the other) on the selected drives, or on
// every drive, follows them with a 10-second timer and writes each phase's
// rows to the DST log file. Every way of closing it aborts the tests still
// running. Controls carry their ids as object names.
class CDstResultsDlg : public QDialog, private DstRunHost {
    Q_OBJECT

public:
    // The controls' object names are these numbers.
    static constexpr int kDialogId = 155, kOutputId = 1090, kStopId = 1092, kProgressId = 1093, kQuickId = 1094,
                         kAdvancedId = 1095, kCancelId = 1096, kStartId = 1097, kBothId = 1177;

    // pathPrefix: the catalog's, left out where a report names a drive.
    explicit CDstResultsDlg(const std::string& pathPrefix, QWidget* parent = nullptr);
    ~CDstResultsDlg() override;

    // Every drive takes part, not only the selected ones.
    void SetAllDrives(bool allDrives) { run->SetAllDrives(allDrives); }
    // Begin and end times come from this clock (tests use a fake one).
    void SetClock(Clock& clock) { run->SetClock(&clock); }

    // The mode the radio buttons choose: 1 quick, 2 advanced, 3 both.
    int SelectedMode() const;
    DstRun& Run() { return *run; }
    QTimer& Timer() { return *timer; }
    OutputEdit& Output() { return *output; }

    void OnStart();
    void OnStop();
    void OnCancelButton();
    void OnTimer();

    void done(int result) override;

private:
    void CreateControls();
    void SetProgress(int percent) override;
    void EnableStart(bool enabled) override;
    void SetTimer() override;
    void KillTimer() override;

    QPlainTextEdit* outputEdit = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QRadioButton* quickRadio = nullptr;
    QRadioButton* advancedRadio = nullptr;
    QRadioButton* bothRadio = nullptr;
    QProgressBar* progressBar = nullptr;
    std::unique_ptr<OutputEdit> output;
    SystemClock systemClock;
    NoKeyboard keyboard;  // the dialog's STOP is the way to abort
    QtPrompts prompts;
    QTimer* timer;
    std::unique_ptr<DstRun> run;
};
