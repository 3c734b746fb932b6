#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include <QWidget>

#include "drives/active_runs.h"

class QAction;
class QMenu;
class CDeviceButton;
class DeviceCatalog;
struct DeviceEntry;

// The main window's view: nothing but the device buttons that discovery
// created, one column per bus. Commands of the device menu act on the
// current device (the drive whose menu was opened last); the others on the
// selected drives. The one-drive sheets are offered both ways: from a
// drive's menu for that drive, from the main menu for the one selected
// drive.
class CKestrionView : public QWidget {
    Q_OBJECT

public:
    explicit CKestrionView(DeviceCatalog& catalog, QWidget* parent = nullptr);
    ~CKestrionView() override;

    // Discovery, once: the first show calls it.
    void OnInitialUpdate();
    bool ScanPending() const { return scanPending; }

    // The first drive of the device table, in slot order, on the menu
    // target's bus and target id; null when none (or no menu was opened yet).
    DeviceEntry* GetCurrentDevice() const;
    void SetMenuTarget(uint8_t bus, uint8_t targetId);
    uint8_t MenuTargetId() const { return menuTargetId; }
    uint8_t MenuTargetBus() const { return menuTargetBus; }

    // The action of a view command (objectName: its id); null for an id the
    // view does not offer.
    QAction* CommandAction(int id) const;
    // Gives a command its handler, which enables it.
    void SetCommandHandler(int id, std::function<void()> handler);
    // A command that works on one drive: from the device menu on the
    // current device, from the main menu on the one selected drive.
    void SetDriveCommandHandler(int id, std::function<void(DeviceEntry&)> handler);
    // The main menu's action of a one-drive command (objectName: its id);
    // null for other ids.
    QAction* SelectedDriveAction(int id) const;
    // The one selected drive; with none or several the user is told so and
    // there is none.
    DeviceEntry* TheSelectedDrive(int id);

    // Runs the user started on the drives; the program waits for them
    // before it ends.
    ActiveRuns& Runs() { return runs; }
    // A run was asked to stop and may still wait for a drive.
    void NoteStopRequested() { emit StopRequested(); }

    // The button of a drive, or of a bus's controller (target id FFh).
    CDeviceButton* ButtonFor(uint8_t bus, uint8_t targetId) const;
    const std::vector<CDeviceButton*>& Buttons() const { return buttons; }

    // Command 32784: re-reads the current device's identity and shows it.
    void OnInquiry();
    // Runs the device information dialog; OK writes "Selected for Test" back.
    void ShowDeviceInformation(DeviceEntry& entry);

signals:
    // After discovery: how many drive buttons the view shows.
    void DiscoveryFinished(int driveCount);
    void StopRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateCommandActions();
    void CreateButtons();
    void OrderDriveFocus();
    QMenu* CreateDeviceMenu();

    DeviceCatalog& catalog;
    // FFh matches no drive until a device menu has been opened.
    uint8_t menuTargetId = 0xFF;
    uint8_t menuTargetBus = 0xFF;
    bool scanPending = true;
    ActiveRuns runs;
    std::map<int, QAction*> actions;
    std::map<int, QAction*> selectedDriveActions;
    std::map<int, std::function<void()>> handlers;
    std::vector<CDeviceButton*> buttons;
};
