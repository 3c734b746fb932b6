#include "ui/modepages/mode_commands.h"

#include "ui/modepages/mode_sheet_dlg.h"
#include "ui/shell/kestrion_view.h"
#include "ui/shell/view_commands.h"

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
