#include "ui/shell/button_layout.h"

#include <array>

#include "drives/device_table.h"

namespace {

constexpr int kButtonWidth = 200;
constexpr int kButtonHeight = 45;
constexpr int kColumnLeft = 50;
constexpr int kControllerControlId = 200;
constexpr int kDeviceControlId = 201;

QRect ButtonAt(int bus, int row)
{
    return QRect(kColumnLeft + kButtonWidth * bus, kButtonHeight * row, kButtonWidth, kButtonHeight);
}

}  // namespace

std::vector<ButtonPlace> LayOutButtons()
{
    std::vector<ButtonPlace> places;
    for (auto& controller : g_controllers) {
        if (!controller) continue;
        places.push_back({controller.get(), QStringLiteral("Controller %1").arg(controller->bus), kControllerControlId,
                          ButtonAt(controller->bus, 0), false});
    }
    // One row count per bus: a bus met again after another keeps its column
    // growing instead of stacking buttons on top of earlier ones.
    std::array<int, kControllerSlots> rows{};
    for (auto& device : g_devices) {
        if (!device || device->bus >= kControllerSlots) continue;
        const int row = ++rows[device->bus];
        places.push_back({device.get(), QStringLiteral("SCSI Device %1").arg(device->targetId), kDeviceControlId,
                          ButtonAt(device->bus, row), true});
    }
    return places;
}
