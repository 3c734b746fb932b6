#pragma once

#include <QRgb>
#include <QWidget>

#include "drives/device_entry.h"
#include "ui/shell/button_layout.h"

class QMenu;
class CKestrionView;

inline constexpr QRgb kColourNotSelected = qRgb(0xFF, 0x32, 0x32);  // red
inline constexpr QRgb kColourSelected = qRgb(0xFF, 0xFF, 0x32);     // yellow
inline constexpr QRgb kColourUnderTest = qRgb(0x32, 0xDC, 0x32);    // green
inline constexpr QRgb kColourController = qRgb(0xE6, 0xFF, 0xE6);   // pale green

// The button's colour follows the drive's state (StateOf) and nothing else.
QRgb ButtonColour(const DeviceEntry& entry);

// The face of one DeviceEntry: a custom-painted button whose colour shows
// whether the drive is selected (yellow), not selected (red) or under test
// (green). A click on the body toggles a drive's selection; a click on the
// arrow zone at the right edge opens the device menu. A drive's button also
// takes the keyboard focus: Space toggles, the menu key or Shift+F10 opens
// the menu. Controllers take no focus: nothing can be done to them.
class CDeviceButton : public QWidget, public DeviceButtonSink {
    Q_OBJECT

public:
    // Places the button and registers it as the entry's repaint sink.
    CDeviceButton(const ButtonPlace& place, CKestrionView& view, QWidget* parent);
    ~CDeviceButton() override;

    // Safe from any thread: the repaint is queued to the button's thread.
    void RequestRepaint() override;

    DeviceEntry& Entry() const { return entry; }
    const QString& Caption() const { return caption; }
    int MenuZoneWidth() const { return menuZoneWidth; }
    bool MenuOpen() const { return menuOpen; }
    bool Hot() const { return hot; }
    bool Pressed() const { return pressed; }
    // The dotted focus frame is drawn: the button has the focus and the
    // keyboard brought it there or was used on it since.
    bool FocusFrameShown() const { return hasFocus() && keyboardFocus; }

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
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenDeviceMenu(bool fromKeyboard = false);
    void OnMenuHidden();
    // Hot again only if the pointer is over this button now: the leave that
    // would have cleared it goes astray while a menu or dialog holds the
    // pointer.
    void RecheckHot();
    void ToggleSelection();
    void ShowSelectionTip(bool show);
    int MenuZone() const;

    DeviceEntry& entry;
    CKestrionView& view;
    QMenu* menu = nullptr;
    QString caption;
    bool hasMenu = false;
    int menuZoneWidth = 0;
    // Pointer over the button, left button held on the body, menu shown.
    bool hot = false;
    bool pressed = false;
    bool menuOpen = false;
    // The focus is shown only to someone using the keyboard; a click moves
    // the focus without the frame.
    bool keyboardFocus = false;
};
