#include "ui/shell/kestrion_view.h"

#include <algorithm>

#include <QAction>
#include <QMenu>
#include <QShowEvent>

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "drives/identity.h"
#include "drives/scan.h"
#include "platform/device_catalog.h"
#include "scsi/string_format.h"
#include "ui/shell/button_layout.h"
#include "ui/shell/device_button.h"
#include "ui/shell/device_info_dlg.h"
#include "ui/shell/menu_status_tips.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"

namespace {

constexpr const char* kDeviceMenuTitle = "scsi device";
constexpr int kDeviceMenuId = 144;

}  // namespace

CKestrionView::CKestrionView(DeviceCatalog& catalog, QWidget* parent) : QWidget(parent), catalog(catalog)
{
    setObjectName(QStringLiteral("view"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    CreateCommandActions();
    SetCommandHandler(kCmdInquiry, [this] { OnInquiry(); });
}

CKestrionView::~CKestrionView() = default;

void CKestrionView::CreateCommandActions()
{
    for (const ViewCommand& command : ViewCommands()) {
        auto* action = new QAction(QString::fromUtf8(command.menuText), this);
        action->setObjectName(QString::number(command.id));
        action->setStatusTip(QString::fromUtf8(command.statusText));
        // Enabled by the subsystem that carries the command out.
        action->setEnabled(false);
        const int id = command.id;
        connect(action, &QAction::triggered, this, [this, id] {
            const auto handler = handlers.find(id);
            if (handler != handlers.end()) handler->second();
        });
        actions[command.id] = action;
        if (!command.onSelectedDrive) continue;
        auto* selectedDrive = new QAction(action->text(), this);
        selectedDrive->setObjectName(action->objectName());
        selectedDrive->setStatusTip(action->statusTip());
        selectedDrive->setEnabled(false);
        selectedDriveActions[command.id] = selectedDrive;
    }
}

QAction* CKestrionView::SelectedDriveAction(int id) const
{
    const auto action = selectedDriveActions.find(id);
    return action == selectedDriveActions.end() ? nullptr : action->second;
}

void CKestrionView::SetDriveCommandHandler(int id, std::function<void(DeviceEntry&)> handler)
{
    if (!handler) {
        SetCommandHandler(id, nullptr);
        if (QAction* selectedDrive = SelectedDriveAction(id)) selectedDrive->setEnabled(false);
        return;
    }
    SetCommandHandler(id, [this, handler] {
        if (DeviceEntry* entry = GetCurrentDevice()) handler(*entry);
    });
    QAction* selectedDrive = SelectedDriveAction(id);
    if (!selectedDrive) return;
    selectedDrive->disconnect(this);
    connect(selectedDrive, &QAction::triggered, this, [this, id, handler] {
        if (DeviceEntry* entry = TheSelectedDrive(id)) handler(*entry);
    });
    selectedDrive->setEnabled(true);
}

DeviceEntry* CKestrionView::TheSelectedDrive(int id)
{
    const std::vector<DeviceEntry*> selected = SelectedDrives();
    if (selected.size() == 1) return selected.front();

    const ViewCommand* command = FindViewCommand(id);
    QString name = command ? QString::fromUtf8(command->menuText) : QString::number(id);
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QStringLiteral("..."))) name.chop(3);
    const std::string text = selected.empty()
                                 ? StringPrintf(kMsgNoDriveSelectedFor, name.toUtf8().constData())
                                 : StringPrintf(kMsgSeveralDrivesSelectedFor, static_cast<int>(selected.size()),
                                                name.toUtf8().constData());
    QtPrompts(window()).Message(text, name.toStdString(), UserPrompts::Icon::Information);
    return nullptr;
}

QAction* CKestrionView::CommandAction(int id) const
{
    const auto action = actions.find(id);
    return action == actions.end() ? nullptr : action->second;
}

void CKestrionView::SetCommandHandler(int id, std::function<void()> handler)
{
    QAction* action = CommandAction(id);
    if (!action) return;
    const bool enabled = static_cast<bool>(handler);
    if (enabled) {
        handlers[id] = std::move(handler);
    } else {
        handlers.erase(id);
    }
    action->setEnabled(enabled);
}

void CKestrionView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (scanPending) OnInitialUpdate();
}

void CKestrionView::OnInitialUpdate()
{
    if (!scanPending) return;
    // Cleared first: the scan runs once even if a later show arrives while
    // it is still reading drives.
    scanPending = false;
    ScanScsiDevices(catalog);
    CreateButtons();
    int driveCount = 0;
    for (const CDeviceButton* button : buttons) {
        if (!button->Entry().isController) ++driveCount;
    }
    emit DiscoveryFinished(driveCount);
}

void CKestrionView::CreateButtons()
{
    QRect extent;
    for (const ButtonPlace& place : LayOutButtons()) {
        auto* button = new CDeviceButton(place, *this, this);
        if (place.hasMenu) button->SetDeviceMenu(CreateDeviceMenu());
        button->show();
        buttons.push_back(button);
        extent = extent.united(button->geometry());
    }
    // The scroll area scrolls to every button.
    setMinimumSize(extent.right() + 1, extent.bottom() + 1);
    OrderDriveFocus();
}

void CKestrionView::OrderDriveFocus()
{
    // Column by column, as drawn: Tab walks one bus's drives from the top
    // before it moves to the next bus, whatever order discovery met them in.
    std::vector<CDeviceButton*> drives;
    for (CDeviceButton* button : buttons) {
        if (button->focusPolicy() != Qt::NoFocus) drives.push_back(button);
    }
    std::stable_sort(drives.begin(), drives.end(), [](const CDeviceButton* a, const CDeviceButton* b) {
        const QPoint pa = a->geometry().topLeft();
        const QPoint pb = b->geometry().topLeft();
        return pa.x() != pb.x() ? pa.x() < pb.x() : pa.y() < pb.y();
    });
    for (size_t i = 1; i < drives.size(); ++i) setTabOrder(drives[i - 1], drives[i]);
}

QMenu* CKestrionView::CreateDeviceMenu()
{
    auto* menu = new QMenu(QString::fromUtf8(kDeviceMenuTitle));
    menu->setObjectName(QString::number(kDeviceMenuId));
    for (const ViewCommand& command : ViewCommands()) {
        if (command.place == CommandPlace::DeviceMenu) menu->addAction(CommandAction(command.id));
    }
    MenuStatusTips::Install(*menu);
    return menu;
}

void CKestrionView::SetMenuTarget(uint8_t bus, uint8_t targetId)
{
    menuTargetBus = bus;
    menuTargetId = targetId;
}

DeviceEntry* CKestrionView::GetCurrentDevice() const
{
    for (const auto& device : g_devices) {
        if (device && device->targetId == menuTargetId && device->bus == menuTargetBus) return device.get();
    }
    return nullptr;
}

CDeviceButton* CKestrionView::ButtonFor(uint8_t bus, uint8_t targetId) const
{
    for (CDeviceButton* button : buttons) {
        const DeviceEntry& entry = button->Entry();
        if (entry.bus == bus && entry.targetId == targetId) return button;
    }
    return nullptr;
}

void CKestrionView::OnInquiry()
{
    DeviceEntry* entry = GetCurrentDevice();
    if (!entry) return;
    // A drive that no longer answers still gets the dialog, with the values
    // it had before.
    RefreshDriveIdentity(catalog, *entry);
    ShowDeviceInformation(*entry);
}

void CKestrionView::ShowDeviceInformation(DeviceEntry& entry)
{
    CDeviceInfoDlg dialog(window());
    dialog.SetFromEntry(entry);
    if (dialog.exec() != QDialog::Accepted) return;
    // Refused for a drive a run holds or tests.
    SetDeviceSelected(entry, dialog.SelectedForTest());
}
