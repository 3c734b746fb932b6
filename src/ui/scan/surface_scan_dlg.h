#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "drives/active_runs.h"
#include "drives/run_drives.h"
#include "platform/monotonic_clock.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class ScanBoard;
class ScanRun;

// "Surface Scan": reads or verifies every block of the drives it was opened
// on, all at the same time, one row per drive (method, progress, LBA, rate,
// time left, failures, result, and a STOP of its own), and lists each
// failing block in its report. It cannot close while a drive still scans:
// closing stops every scan and waits for the drives' commands to end.
class CSurfaceScanDlg : public QDialog, public ActiveRun {
    Q_OBJECT

public:
    static constexpr int kTickMilliseconds = 250;

    CSurfaceScanDlg(RunDrives drives, QWidget* parent = nullptr);
    ~CSurfaceScanDlg() override;

    void OnStart();
    void OnStopDrive(int row);
    void OnStopAll();
    // Takes what the scans told since the last tick into the table and the report.
    void OnTick();

    QTableWidget& Table() const { return *table; }
    QPlainTextEdit& Report() const { return *report; }
    QTimer& Timer() const { return *timer; }

    bool Running() const override;
    bool Stopping() const override;
    void RequestStop() override { OnStopAll(); }

    void done(int result) override;

private:
    void CreateControls();
    void ShowIdle(bool idle);

    RunDrives drives;
    SteadyMonotonicClock clock;
    std::unique_ptr<ScanBoard> board;
    std::unique_ptr<ScanRun> run;
    std::vector<bool> finished;
    bool stopAll = false;
    bool closeWhenDone = false;

    QComboBox* method = nullptr;
    QLineEdit* from = nullptr;
    QLineEdit* to = nullptr;
    QTableWidget* table = nullptr;
    QPlainTextEdit* report = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopAllButton = nullptr;
    QPushButton* closeButton = nullptr;
    QTimer* timer = nullptr;
};
