#include "ui/scan/scan_commands.h"

#include "drives/device_entry.h"
#include "drives/device_table.h"
#include "drives/run_drives.h"
#include "ui/scan/surface_scan_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/qt_prompts.h"
#include "ui/shell/view_commands.h"

namespace {

void OnSurfaceScan(CKestrionView& view)
{
    // A drive that a test or self-test works on now is left to it.
    std::vector<DeviceEntry*> drives;
    for (DeviceEntry* entry : SelectedDrives())
        if (StateOf(*entry) != DeviceState::UnderTest) drives.push_back(entry);
    if (drives.empty()) {
        QtPrompts(view.window())
            .Message(AnyDeviceSelected() ? "Every selected drive is under test now" : "NO Drive Selected for Test",
                     "Surface Scan", UserPrompts::Icon::Information);
        return;
    }
    CSurfaceScanDlg dialog(RunDrives(std::move(drives)), view.window());
    ActiveRuns::Scoped counted(view.Runs(), dialog);
    dialog.exec();
}

}  // namespace

void InstallSurfaceScanCommand(CKestrionView& view)
{
    view.SetCommandHandler(kCmdSurfaceScan, [&view] { OnSurfaceScan(view); });
}
