#pragma once

#include <memory>

#include <QDialog>

struct DeviceEntry;

namespace Ui {
class CDeviceInfoDlg;
}

// "Device Information": a drive's identity, capacity, place and INQUIRY
// capability flags, all read-only, and its "Selected for Test" flag, which
// the user may change.
class CDeviceInfoDlg : public QDialog {
    Q_OBJECT

public:
    explicit CDeviceInfoDlg(QWidget* parent = nullptr);
    ~CDeviceInfoDlg() override;

    // Fills every control from the entry.
    void SetFromEntry(const DeviceEntry& entry);
    // The state of "Selected for Test" (what OK writes back).
    bool SelectedForTest() const;

private:
    std::unique_ptr<Ui::CDeviceInfoDlg> ui;
};
