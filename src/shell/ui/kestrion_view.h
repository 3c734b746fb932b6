#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include <QWidget>

class QAction;
class QMenu;
class CDeviceButton;
class DeviceCatalog;
struct DeviceEntry;

// The main window's view: nothing but the device buttons that discovery
// created, one column per bus. Commands of the device menu act on the
// current device (the drive whose menu was opened last); the others on the
// selected drives.
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateCommandActions();
    void CreateButtons();
    QMenu* CreateDeviceMenu();

    DeviceCatalog& catalog;
    // FFh matches no drive until a device menu has been opened.
    uint8_t menuTargetId = 0xFF;
    uint8_t menuTargetBus = 0xFF;
    bool scanPending = true;
    std::map<int, QAction*> actions;
    std::map<int, std::function<void()>> handlers;
    std::vector<CDeviceButton*> buttons;
};
