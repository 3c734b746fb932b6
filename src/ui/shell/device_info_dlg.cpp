#include "ui/shell/device_info_dlg.h"

#include <QCheckBox>
#include <QLineEdit>

#include "drives/device_entry.h"
#include "drives/device_info.h"
#include "ui/shell/view_commands.h"
#include "ui_device_info_dlg.h"

CDeviceInfoDlg::CDeviceInfoDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CDeviceInfoDlg>())
{
    ui->setupUi(this);
}

CDeviceInfoDlg::~CDeviceInfoDlg() = default;

void CDeviceInfoDlg::SetFromEntry(const DeviceEntry& entry)
{
    // The same values the command line prints, placed by control id.
    const DeviceInfoValues values = ReadDeviceInfoValues(entry);
    for (const DeviceInfoText& text : values.texts) {
        if (auto* edit = findChild<QLineEdit*>(QString::number(text.controlId))) {
            edit->setText(QString::fromStdString(text.value));
        }
    }
    for (const DeviceInfoFlag& flag : values.flags) {
        if (auto* check = findChild<QCheckBox*>(QString::number(flag.controlId))) check->setChecked(flag.value);
    }
    ui->devicePathEdit->setText(QString::fromStdString(values.path));
    ui->selectedForTestCheck->setChecked(values.selected);
    // A run holds the drive: its selection is not the user's to change now.
    const bool locked = SelectionLocked(entry);
    ui->selectedForTestCheck->setEnabled(!locked);
    ui->selectedForTestCheck->setToolTip(locked ? QString::fromUtf8(kStatusDriveHeld) : QString());
}

bool CDeviceInfoDlg::SelectedForTest() const { return ui->selectedForTestCheck->isChecked(); }
