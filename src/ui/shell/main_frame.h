#pragma once

#include <QMainWindow>
#include <QTimer>

class QLabel;
class QMenu;
class CKestrionView;
class DeviceCatalog;
class LockIndicators;

// The main window: the menus, the view with the device buttons in a scroll
// area, and the status bar with its message pane and lock indicators.
// Closed while a run works on the drives, it asks first, and on yes stops
// the runs and closes once they have ended.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // simulatedBench only changes the hint shown when no drive is found.
    CMainFrame(DeviceCatalog& catalog, bool simulatedBench, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKestrionView* View() const { return view; }
    // The text of the status bar's message pane, shown when no menu item is
    // under the pointer: the idle text, or what a stopped run waits for.
    QString IdleMessage() const;

    static constexpr const char* kNoDrivesHint =
        "No drives found. Start with --bench to use the simulated test bench.";
    static constexpr const char* kNoBenchDrivesHint = "No drives found on the simulated test bench.";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Follows stopped runs: the message pane says while one waits for a
    // drive, and a quit goes ahead once none runs.
    void WatchRuns();
    void OnRunWatch();
    void ShowRunState();
    void CreateMenus();
    void CreateStatusBar();
    void OnDiscoveryFinished(int driveCount);
    void OnAppAbout();

    CKestrionView* view = nullptr;
    QLabel* messagePane = nullptr;
    LockIndicators* lockIndicators = nullptr;
    bool simulatedBench = false;
    QString idleMessage;
    QTimer runWatch;
    bool quitPending = false;
};
