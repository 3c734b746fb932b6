#include "modepages/ui/mode_commands.h"

#include "modepages/ui/mode_sheet_dlg.h"
#include "shell/ui/kestrion_view.h"
#include "shell/ui/view_commands.h"

void OnModeSense(CKestrionView& view, DeviceEntry& drive)
{
    CModeSPages sheet(view.window());
    if (!sheet.Open(&drive)) return;
    sheet.exec();
}

void InstallModePageCommand(CKestrionView& view)
{
    view.SetDriveCommandHandler(kCmdModePages, [&view](DeviceEntry& drive) { OnModeSense(view, drive); });
}
