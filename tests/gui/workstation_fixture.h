#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include "support/stream_capture.h"

class CDeviceButton;
class CKestrionView;
class CMainFrame;
class DeviceCatalog;
class QMenu;
struct DeviceEntry;

// One drive of a test bench.
struct BenchDrive {
    int bus = 0;
    int targetId = 0;
    std::string vendor = "MORVANE";
    std::string product = "KST-9100";
    std::string revision = "R2A1";
    std::string serial = "SN000001";
    uint64_t lastLba = 1000;
    uint32_t blockLength = 512;
    int deviceType = 0;
    // Names of the INQUIRY capability bits to set (the bench's own names).
    std::vector<std::string> capabilities = {};
};

// A bench file's text for these drives, in drive-number order.
std::string BenchJson(const std::vector<BenchDrive>& drives);

// The main window on a simulated bench, shown offscreen.
class WorkstationTest : public ::testing::Test {
protected:
    WorkstationTest();
    ~WorkstationTest() override;
    void TearDown() override;

    // Starts on a bench given as JSON text (or the built-in one when empty).
    void Start(const std::string& benchJson);
    void Start(const std::vector<BenchDrive>& drives) { Start(BenchJson(drives)); }

    CMainFrame& Frame() const { return *frame; }
    CKestrionView& View() const;
    // The button of a drive (or of a controller, target id 255); null when
    // the view has none.
    CDeviceButton* Button(int bus, int targetId) const;

    // A left click at x, halfway down the button.
    static void ClickAt(CDeviceButton& button, int x);
    // Opens a drive's device menu through its arrow zone; null when no menu
    // opened.
    QMenu* OpenDeviceMenu(CDeviceButton& button);
    // Chooses an item of an open menu as the user would.
    static void ChooseItem(QMenu& menu, int commandId);

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
