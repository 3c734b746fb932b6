#pragma once

#include <QMainWindow>

class QLabel;
class QMenu;
class CKestrionView;
class DeviceCatalog;
class LockIndicators;

// The main window: the menus, the view with the device buttons in a scroll
// area, and the status bar with its message pane and lock indicators.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // simulatedBench only changes the hint shown when no drive is found.
    CMainFrame(DeviceCatalog& catalog, bool simulatedBench, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKestrionView* View() const { return view; }
    // The text of the status bar's message pane when no menu item is under
    // the pointer.
    QString IdleMessage() const;

    static constexpr const char* kNoDrivesHint =
        "No drives found. Start with --bench to use the simulated test bench.";
    static constexpr const char* kNoBenchDrivesHint = "No drives found on the simulated test bench.";

private:
    void CreateMenus();
    void CreateStatusBar();
    void OnDiscoveryFinished(int driveCount);
    void OnAppAbout();

    CKestrionView* view = nullptr;
    QLabel* messagePane = nullptr;
    LockIndicators* lockIndicators = nullptr;
    bool simulatedBench = false;
};
