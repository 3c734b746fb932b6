#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include "platform/device_catalog.h"
#include "support/stream_capture.h"
#include "ui/shell/main_frame.h"

class CDeviceButton;
class CKestrionView;
class QMenu;
class SimDisk;

// A button's body as the user sees it: not selected, selected, under test.
inline const QColor kRed(255, 50, 50);
inline const QColor kYellow(255, 255, 50);
inline const QColor kGreen(50, 220, 50);

// The main window on a simulated bench, shown offscreen.
class WorkstationTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Starts on a bench file of tests/data/gui (or the built-in bench when empty).
    void Start(const std::string& benchFile);

    CMainFrame& Frame() const { return *frame; }
    CKestrionView& View() const;
    // The button of a drive (or of a controller, target id 255); null when
    // the view has none.
    CDeviceButton* Button(int bus, int targetId) const;
    // The drives' buttons, controllers left out.
    std::vector<CDeviceButton*> Drives() const;
    SimDisk& Disk(uint32_t number) const;

    // A left click at x, halfway down the button.
    static void ClickAt(CDeviceButton& button, int x);
    // Opens a drive's device menu through its arrow zone; null when no menu
    // opened.
    QMenu* OpenDeviceMenu(CDeviceButton& button);
    // Chooses an item of an open menu as the user would.
    static void ChooseItem(QMenu& menu, int commandId);
    // Chooses a drive's menu item, which opens a modal dialog, and runs step on it.
    void WithDeviceDialog(int bus, int targetId, int commandId, const std::function<void(QDialog&)>& step);

    // Closes the main window and answers its question; returns the question.
    QString Quit(bool yes);

    // Runs trigger, which opens a modal dialog, and step on that dialog;
    // a dialog step leaves open is rejected so no test can hang.
    static void WithModalDialog(const std::function<void()>& trigger, const std::function<void(QDialog&)>& step);

    // The colour at a button pixel as the button paints it.
    static QColor PixelAt(CDeviceButton& button, int x, int y);

    // Saves under the build folder's screenshots/.
    static void SaveScreenshot(const QImage& image, const QString& name);

    // What discovery, the runs and the commands report goes here, not into the test log.
    StreamCapture quiet;
    std::unique_ptr<DeviceCatalog> catalog;
    std::unique_ptr<CMainFrame> frame;
};
