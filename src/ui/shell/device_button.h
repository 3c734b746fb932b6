#pragma once

#include <QWidget>

#include "drives/device_entry.h"

class QMenu;
class CKestrionView;

// The face of one DeviceEntry: a custom-painted button whose colour shows
// whether the drive is selected (yellow), not selected (red) or under test
// (green). A click on the body toggles a drive's selection; a click on the
// arrow zone at the right edge opens the device menu.
class CDeviceButton : public QWidget, public DeviceButtonSink {
    Q_OBJECT

public:
    // Places the button at the entry's rectangle and registers it as the
    // entry's repaint sink.
    CDeviceButton(DeviceEntry& entry, CKestrionView& view, QWidget* parent);
    ~CDeviceButton() override;

    // Safe from any thread: the repaint is queued to the button's thread.
    void RequestRepaint() override;

    DeviceEntry& Entry() const { return entry; }

    // The device menu; the button takes ownership. Null removes it.
    void SetDeviceMenu(QMenu* menu);
    QMenu* DeviceMenu() const { return menu; }

    // True when x (button pixels) lies in the strip that opens the menu.
    bool InMenuZone(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenDeviceMenu();
    void OnMenuHidden();
    void ShowSelectionTip(bool show);
    int MenuZone() const;

    DeviceEntry& entry;
    CKestrionView& view;
    QMenu* menu = nullptr;
};
